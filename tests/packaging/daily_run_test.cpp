// The shipped daily-run files, run as the user's service manager and cron would run them: the
// service's ExecStart= and the cron line, each with the example daily.env pointed at market-sim,
// in a fresh home, with the program built here standing in for the installed one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "market_sim.h"
#include "temp_dir.h"
#include "unit_file.h"

namespace jilan::packaging {
namespace {

namespace fs = std::filesystem;
using testing::ChildResult;
using testing::readWholeFile;
using testing::runChild;

const fs::path kPackaging = JILAN_PACKAGING_DIR;
const fs::path kProgram = JILAN_PROGRAM_PATH;
// The daily run needs no display: it is the command-line package's program.
constexpr const char* kInstalledName = "jilan-harvester-cli";
constexpr auto kWatchdog = std::chrono::seconds(120);

std::vector<std::string> fileLines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) {
        out.push_back(line);
    }
    return out;
}

std::string localDate() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

// The example settings with the two site URLs pointed at the simulator; everything else as
// shipped.
std::string exampleEnvFor(const sim::MarketSim& sim) {
    std::string out;
    int urls = 0;
    for (const std::string& line : fileLines(readWholeFile(kPackaging / "daily.env"))) {
        if (line.starts_with("JILAN_MARKET_URL=")) {
            out += "JILAN_MARKET_URL=\"" + sim.baseUrl() + "\"\n";
            ++urls;
        } else if (line.starts_with("JILAN_ICP_URL=")) {
            out += "JILAN_ICP_URL=\"" + sim.icpBaseUrl() + "\"\n";
            ++urls;
        } else {
            out += line + "\n";
        }
    }
    EXPECT_EQ(urls, 2) << "daily.env must set JILAN_MARKET_URL and JILAN_ICP_URL";
    return out;
}

// The last line of the cron file that is not a comment.
std::string cronLine() {
    std::string last;
    for (const std::string& line : fileLines(readWholeFile(kPackaging / "jilan-harvester.cron"))) {
        if (!line.empty() && line.front() != '#') {
            last = line;
        }
    }
    return last;
}

// The five time fields and the command of a crontab line, with cron's \% turned back into %.
// An unescaped % (cron would cut the command there) is reported in `error`.
struct CronEntry {
    std::vector<std::string> fields;
    std::string command;
    std::string error;
};

CronEntry splitCronLine(const std::string& line) {
    CronEntry entry;
    std::size_t pos = 0;
    for (int i = 0; i < 5; ++i) {
        const auto start = line.find_first_not_of(" \t", pos);
        pos = line.find_first_of(" \t", start);
        entry.fields.push_back(line.substr(start, pos - start));
    }
    const std::string rest = line.substr(line.find_first_not_of(" \t", pos));
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size() && rest[i + 1] == '%') {
            entry.command += '%';
            ++i;
        } else if (rest[i] == '%') {
            entry.error = "unescaped % at " + std::to_string(i) + " of the command";
            return entry;
        } else {
            entry.command += rest[i];
        }
    }
    return entry;
}

enum class Launcher { SystemdService, CronLine };

struct Launch {
    std::vector<std::string> argv;
    Environment env;
    std::string error;
};

// What the launcher would start in `home`: the service manager resolves the bare program name
// in its own search path (where the package puts it), cron's shell through PATH.
Launch launchIn(Launcher launcher, const fs::path& home) {
    Launch launch;
    if (launcher == Launcher::SystemdService) {
        const Environment base{
            {"HOME", home.string()}, {"PATH", "/usr/local/bin:/usr/bin:/bin"}, {"LANG", "C.UTF-8"}};
        const auto command = serviceCommand(
            readWholeFile(kPackaging / "jilan-harvester-daily.service"), home.string(), base);
        if (!command.ok()) {
            launch.error = command.error;
            return launch;
        }
        launch.argv = command.value.argv;
        launch.env = command.value.environment;
        if (launch.argv.empty() || launch.argv.front() != kInstalledName) {
            launch.error = "ExecStart= must start the installed jilan-harvester-cli by name";
            return launch;
        }
        launch.argv.front() = kProgram.string();
        return launch;
    }
    const CronEntry entry = splitCronLine(cronLine());
    launch.error = entry.error;
    launch.argv = {"/bin/sh", "-c", entry.command};
    launch.env = {{"HOME", home.string()},
                  {"LOGNAME", "jilan"},
                  {"SHELL", "/bin/sh"},
                  {"PATH", kProgram.parent_path().string() + ":/usr/bin:/bin"}};
    return launch;
}

struct DailyRun {
    ChildResult child;
    std::string launchError;
    std::vector<fs::path> outputs;  // today's dated files under ~/域名
};

// Writes the example settings into the home, runs the launcher once and finds the dated output.
DailyRun runDaily(Launcher launcher, const fs::path& home, const sim::MarketSim& sim) {
    DailyRun run;
    const fs::path config = home / ".config" / "jilan-harvester";
    fs::create_directories(config);
    std::ofstream(config / "daily.env", std::ios::binary) << exampleEnvFor(sim);
    const Launch launch = launchIn(launcher, home);
    run.launchError = launch.error;
    if (!launch.error.empty()) {
        return run;
    }
    const std::string before = localDate();
    run.child = runChild(launch.argv, launch.env, home, kWatchdog);
    for (const std::string& date : std::set<std::string>{before, localDate()}) {
        const fs::path file = home / "域名" / (date + "-new.csv");
        if (fs::exists(file)) {
            run.outputs.push_back(file);
        }
    }
    return run;
}

// The domains of a CSV export: the first cell of each row after the header.
std::vector<std::string> csvDomains(const fs::path& file) {
    std::vector<std::string> out;
    const std::vector<std::string> rows = fileLines(readWholeFile(file));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        out.push_back(rows[i].substr(0, rows[i].find(',')));
    }
    return out;
}

int examplePages() {
    const auto env = parseEnvironmentFile(readWholeFile(kPackaging / "daily.env"));
    const auto it = env.value.find("JILAN_DAILY_PAGES");
    return it == env.value.end() ? 0 : std::stoi(it->second);
}

int listingRequests(const sim::MarketSim& sim) {
    int count = 0;
    for (const sim::RequestRecord& r : sim.requests()) {
        count += r.target.starts_with("/search?p=") ? 1 : 0;
    }
    return count;
}

sim::Options realisticDay() {
    sim::Options options;
    options.day = 1;
    return options;
}

struct LauncherCase {
    const char* rule;
    Launcher launcher;
};

void PrintTo(const LauncherCase& c, std::ostream* os) {
    *os << c.rule;
}

class DailyRunTest : public ::testing::TestWithParam<LauncherCase> {};

TEST_P(DailyRunTest, WritesTodaysNewFilteredNamesAndNothingNewOnASecondRun) {
    sim::MarketSim sim(realisticDay());
    ASSERT_TRUE(sim.start()) << sim.lastError();
    testing::TempDir home("jilan-daily");

    const DailyRun first = runDaily(GetParam().launcher, home.path(), sim);
    ASSERT_EQ(first.launchError, "");
    ASSERT_FALSE(first.child.killedByWatchdog) << first.child.err;
    EXPECT_EQ(first.child.exitCode, 0) << first.child.err;
    ASSERT_EQ(first.outputs.size(), 1u) << "no ~/域名/<today>-new.csv; stderr:\n"
                                        << first.child.err;
    const std::vector<std::string> names = csvDomains(first.outputs.front());
    EXPECT_FALSE(names.empty()) << "the example filter let no name of a realistic day through";
    EXPECT_LT(names.size(), static_cast<std::size_t>(examplePages()) * 50)
        << "every harvested name came out: the filter was not applied";
    for (const std::string& name : names) {
        EXPECT_NE(name.find('.'), std::string::npos) << "not a domain row: " << name;
    }
    EXPECT_EQ(listingRequests(sim), examplePages());
    // cron mails whatever a run prints: its line is quiet unless the run fails; the journal
    // keeps the timer's progress.
    EXPECT_EQ(first.child.err.empty(), GetParam().launcher == Launcher::CronLine)
        << first.child.err;

    // The history lives in the home the launcher gave the program, so the same morning again
    // finds nothing new.
    const DailyRun second = runDaily(GetParam().launcher, home.path(), sim);
    EXPECT_EQ(second.child.exitCode, 0) << second.child.err;
    ASSERT_EQ(second.outputs.size(), 1u);
    EXPECT_EQ(csvDomains(second.outputs.front()), std::vector<std::string>{});
}

const LauncherCase kLaunchers[] = {
    {"SystemdUserServiceExecStart", Launcher::SystemdService},
    {"CronLineThroughTheShell", Launcher::CronLine},
};

INSTANTIATE_TEST_SUITE_P(Launchers, DailyRunTest, ::testing::ValuesIn(kLaunchers),
                         [](const auto& info) { return std::string(info.param.rule); });

TEST(DailyRunFiles, TimerAndCronLineHarvestTheSameNames) {
    sim::MarketSim sim(realisticDay());
    ASSERT_TRUE(sim.start()) << sim.lastError();
    testing::TempDir systemdHome("jilan-daily");
    testing::TempDir cronHome("jilan-daily");
    const DailyRun timer = runDaily(Launcher::SystemdService, systemdHome.path(), sim);
    const DailyRun cron = runDaily(Launcher::CronLine, cronHome.path(), sim);
    ASSERT_EQ(timer.outputs.size(), 1u) << timer.launchError << timer.child.err;
    ASSERT_EQ(cron.outputs.size(), 1u) << cron.launchError << cron.child.err;
    EXPECT_EQ(csvDomains(cron.outputs.front()), csvDomains(timer.outputs.front()));
}

// Settings the files must agree on; each row reads one value out of a shipped file.
struct SettingCase {
    const char* rule;
    std::string (*actual)();
    const char* expected;
};

std::string serviceValue(const char* key) {
    const auto unit = parseUnitFile(readWholeFile(kPackaging / "jilan-harvester-daily.service"));
    const auto values = unitValues(unit.value, "Service", key);
    return values.size() == 1 ? values.front()
                              : unit.error + " (" + std::to_string(values.size()) + " values)";
}

std::string timerValue(const char* key) {
    const auto unit = parseUnitFile(readWholeFile(kPackaging / "jilan-harvester-daily.timer"));
    const auto values = unitValues(unit.value, "Timer", key);
    return values.size() == 1 ? values.front()
                              : unit.error + " (" + std::to_string(values.size()) + " values)";
}

// A key's one value in a shipped unit file of the watchlist's reminders.
std::string remindValue(const char* file, const char* section, const char* key) {
    const auto unit = parseUnitFile(readWholeFile(kPackaging / file));
    const auto values = unitValues(unit.value, section, key);
    return values.size() == 1 ? values.front()
                              : unit.error + " (" + std::to_string(values.size()) + " values)";
}

// The schedule and command of the cron file's line that sends the reminders.
std::string cronRemindLine() {
    for (const std::string& line : fileLines(readWholeFile(kPackaging / "jilan-harvester.cron"))) {
        if (!line.empty() && line.front() != '#' && line.find("--remind") != std::string::npos) {
            const CronEntry entry = splitCronLine(line);
            std::string text;
            for (const std::string& field : entry.fields) {
                text += field + " ";
            }
            return text + entry.command;
        }
    }
    return "no --remind line";
}

// The cron schedule as the OnCalendar= it means ("30 7 * * *" -> "*-*-* 07:30:00").
std::string cronAsCalendar() {
    const CronEntry entry = splitCronLine(cronLine());
    if (!entry.error.empty() || entry.fields[2] != "*" || entry.fields[3] != "*" ||
        entry.fields[4] != "*") {
        return "not a daily cron line: " + cronLine();
    }
    char text[32];
    std::snprintf(text, sizeof text, "*-*-* %02d:%02d:00", std::stoi(entry.fields[1]),
                  std::stoi(entry.fields[0]));
    return text;
}

const SettingCase kSettings[] = {
    {"ServiceRunsOnceAndEnds", [] { return serviceValue("Type"); }, "oneshot"},
    {"ServiceReadsTheOptionalUserSettings", [] { return serviceValue("EnvironmentFile"); },
     "-%h/.config/jilan-harvester/daily.env"},
    {"TimerFiresEveryMorning", [] { return timerValue("OnCalendar"); }, "*-*-* 07:30:00"},
    {"TimerCatchesUpAMissedMorning", [] { return timerValue("Persistent"); }, "true"},
    {"CronLineRunsAtTheTimersTime", cronAsCalendar, "*-*-* 07:30:00"},
    {"RemindServiceSendsWhatIsDue",
     [] { return remindValue("jilan-harvester-remind.service", "Service", "ExecStart"); },
     "jilan-harvester-cli --remind"},
    {"RemindTimerFiresEveryTenMinutes",
     [] { return remindValue("jilan-harvester-remind.timer", "Timer", "OnCalendar"); }, "*:0/10"},
    {"RemindTimerCatchesUpAfterSleep",
     [] { return remindValue("jilan-harvester-remind.timer", "Timer", "Persistent"); }, "true"},
    {"CronRemindsEveryTenMinutes", cronRemindLine, "*/10 * * * * jilan-harvester-cli --remind"},
};

TEST(DailyRunFiles, ShippedSettingsAgree) {
    for (const SettingCase& c : kSettings) {
        EXPECT_EQ(c.actual(), c.expected) << c.rule;
    }
}

// cron's /bin/sh sources daily.env too, so every setting must read the same in sh as in
// systemd: NAME="value" without characters either side would treat specially.
TEST(DailyRunFiles, ExampleSettingsReadTheSameInShellAndSystemd) {
    const std::regex common(R"re([A-Z_][A-Z0-9_]*="[^"$`\\]*")re");
    int settings = 0;
    for (const std::string& line : fileLines(readWholeFile(kPackaging / "daily.env"))) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        EXPECT_TRUE(std::regex_match(line, common)) << line;
        ++settings;
    }
    EXPECT_GE(settings, 4) << "URLs, pages and filter";
}

std::string systemdAnalyze() {
    for (const char* dir : {"/usr/bin", "/bin", "/usr/local/bin"}) {
        const fs::path path = fs::path(dir) / "systemd-analyze";
        if (access(path.c_str(), X_OK) == 0) {
            return path.string();
        }
    }
    return {};
}

TEST(DailyRunFiles, UnitsPassSystemdAnalyzeVerify) {
    const std::string analyze = systemdAnalyze();
    if (analyze.empty()) {
        GTEST_SKIP() << "systemd-analyze is not installed: unit files not verified";
    }
    testing::TempDir dir("jilan-units");
    const fs::path runtime = dir.path() / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    // verify checks that ExecStart's program exists; here it is the program built in this tree
    // instead of the installed one, the rest of both units byte for byte as shipped.
    std::string service = readWholeFile(kPackaging / "jilan-harvester-daily.service");
    const std::string exec = std::string("\nExecStart=") + kInstalledName + " ";
    const auto at = service.find(exec);
    ASSERT_NE(at, std::string::npos);
    service.replace(at, exec.size(), "\nExecStart=" + kProgram.string() + " ");
    dir.write("jilan-harvester-daily.service", service);
    dir.write("jilan-harvester-daily.timer",
              readWholeFile(kPackaging / "jilan-harvester-daily.timer"));
    std::string remind = readWholeFile(kPackaging / "jilan-harvester-remind.service");
    const auto remindAt = remind.find(exec);
    ASSERT_NE(remindAt, std::string::npos);
    remind.replace(remindAt, exec.size(), "\nExecStart=" + kProgram.string() + " ");
    dir.write("jilan-harvester-remind.service", remind);
    dir.write("jilan-harvester-remind.timer",
              readWholeFile(kPackaging / "jilan-harvester-remind.timer"));
    const ChildResult result = runChild(
        {analyze, "--user", "verify", dir.file("jilan-harvester-daily.service"),
         dir.file("jilan-harvester-daily.timer"), dir.file("jilan-harvester-remind.service"),
         dir.file("jilan-harvester-remind.timer")},
        {{"HOME", dir.path().string()},
         {"XDG_RUNTIME_DIR", runtime.string()},
         {"PATH", "/usr/bin:/bin"},
         // Documentation=man:... must name a page: the one built here.
         {"MANPATH", JILAN_MAN_PATH},
         {"SYSTEMD_LOG_COLOR", "0"}},
        dir.path(), kWatchdog);
    if (result.err.find("Failed to initialize manager") != std::string::npos) {
        GTEST_SKIP() << "systemd-analyze cannot start a user manager here: " << result.err;
    }
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // Unknown keys and other mistakes are only warnings with exit 0: any message fails.
    EXPECT_EQ(result.out + result.err, "");
}

}  // namespace
}  // namespace jilan::packaging
