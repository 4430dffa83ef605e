#include "cli_run.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>

#include "app/failure_text.h"
#include "filter/score_config.h"
#include "io/durable_writer.h"
#include "program/history_filter.h"

namespace jilan::cli {

namespace {

bool digits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return !text.empty();
}

int number(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
    return value;
}

// The order that decides between exit statuses, the one that wins first.
constexpr std::array<int, 8> kExitOrder = {130, 143, 2, 1, 4, 5, 3, 6};

std::size_t exitRank(int status) {
    if (status == 0) {
        return kExitOrder.size() + 1;
    }
    const auto* at = std::find(kExitOrder.begin(), kExitOrder.end(), status);
    return static_cast<std::size_t>(at - kExitOrder.begin());
}

}  // namespace

int firstExitStatus(int a, int b) {
    return exitRank(b) < exitRank(a) ? b : a;
}

int Interruption::exitStatus() const {
    const int s = signal.load();
    if (s == SIGTERM) {
        return cli::exitStatus(ExitCode::Terminated);
    }
    if (s == SIGINT || s == 0) {
        return cli::exitStatus(ExitCode::Interrupted);
    }
    return 128 + s;
}

std::optional<std::int64_t> localMidnightUtc(std::string_view date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' || !digits(date.substr(0, 4)) ||
        !digits(date.substr(5, 2)) || !digits(date.substr(8, 2))) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = number(date.substr(0, 4)) - 1900;
    tm.tm_mon = number(date.substr(5, 2)) - 1;
    tm.tm_mday = number(date.substr(8, 2));
    tm.tm_isdst = -1;
    const int year = tm.tm_year, month = tm.tm_mon, day = tm.tm_mday;
    const std::time_t t = std::mktime(&tm);
    // mktime normalises 2026-02-30 into March: such a date is not one.
    if (t == static_cast<std::time_t>(-1) || tm.tm_year != year || tm.tm_mon != month ||
        tm.tm_mday != day) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(t);
}

std::variant<filter::Filter, std::string> compileFilter(const std::string& expression,
                                                        const filter::ScoreWeights& weights) {
    auto compiled = filter::Filter::compile(expression, weights);
    if (auto* error = std::get_if<filter::FilterError>(&compiled)) {
        return error->message;
    }
    // Only the window knows which rows are watched: here the word would keep no name, and a
    // daily digest filtered by it would stay silent for ever.
    if (std::get<filter::Filter>(compiled).usesWatched()) {
        return "筛选条件有误：关注 只能在域名筛选窗口中使用";
    }
    return std::get<filter::Filter>(std::move(compiled));
}

std::optional<std::string> loadScoreWeights(Settings& settings) {
    if (settings.scoreConfig.empty()) {
        return std::nullopt;
    }
    std::error_code ignored;
    if (!settings.scoreConfigGiven && !std::filesystem::exists(settings.scoreConfig, ignored)) {
        return std::nullopt;
    }
    auto read = filter::readScoreConfig(settings.scoreConfig);
    if (auto* message = std::get_if<std::string>(&read)) {
        return std::move(*message);
    }
    settings.scoreWeights = std::get<filter::ScoreWeights>(std::move(read));
    settings.scoreConfigRead = true;
    return std::nullopt;
}

filter::NameFeatures featuresOf(const history::NameRow& row) {
    return program::storedFeatures(row);
}

std::variant<OutputTarget, OutputProblem> prepareOutput(const std::string& output,
                                                        const std::string& format, std::time_t now,
                                                        bool withDetails) {
    if (output.empty()) {
        return OutputProblem{ExitCode::BadOptions, "缺少 --output：请给出输出文件"};
    }
    std::optional<std::string_view> named;
    if (!format.empty()) {
        named = format;
    }
    const std::optional<exporting::Format> chosen = exporting::formatFor(output, named);
    if (!chosen) {
        return OutputProblem{ExitCode::BadOptions,
                             "--format 只能是 txt、csv、xlsx 或 jsonl，不能是 \"" + format + "\""};
    }
    if (withDetails && *chosen == exporting::Format::Txt) {
        return OutputProblem{ExitCode::BadOptions,
                             "--details 需要 csv 或 xlsx 输出：txt 只有域名一列，放不下查询结果"};
    }
    OutputTarget target{io::expandOutputTemplate(output, now), *chosen};
    if (io::WriteStatus made = io::createMissingFolders(target.path)) {
        return OutputProblem{ExitCode::OutputNotWritable, writeFailureMessage(*made)};
    }
    if (io::WriteStatus status = io::checkWritable(target.path)) {
        return OutputProblem{ExitCode::OutputNotWritable, writeFailureMessage(*status)};
    }
    return target;
}

std::string writeFailureMessage(const io::WriteFailure& failure) {
    return "无法写入 " + failure.path + "：" +
           app::fileFailureText(failure.errnum, failure.detail, failure.notRegularFile);
}

}  // namespace jilan::cli
