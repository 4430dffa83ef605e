// Name features and the compiled filter over 100 000 generated names shaped like a day of
// deleted domains: short digit and letter names, AABB/ABAB numbers, pinyin words and pairs,
// consonant initials, mixed, hyphenated, .com.cn, an IDN now and then. Items are names.
// Targets: features >= 2 million names/s; a compiled filter >= 20 million names/s; the score
// from the domain (features, pinyin split included, then the score) >= 2 million names/s.

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "filter/filter_expr.h"
#include "filter/name_features.h"
#include "filter/pinyin.h"
#include "filter/score.h"

namespace {

namespace filter = jilan::filter;

constexpr std::size_t kNames = 100000;

class NameMaker {
public:
    std::string next() {
        std::string name = body();
        return name + "." + std::string(tld());
    }

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    char digit() { return static_cast<char>('0' + below(10)); }
    char letter() { return static_cast<char>('a' + below(26)); }
    char consonant() {
        static constexpr std::string_view kConsonants = "bcdfghjklmnpqrstwxyz";
        return kConsonants[static_cast<std::size_t>(below(static_cast<int>(kConsonants.size())))];
    }
    std::string_view syllable() {
        const auto table = filter::pinyinSyllables();
        return table[static_cast<std::size_t>(below(static_cast<int>(table.size())))];
    }
    std::string run(int length, char (NameMaker::*pick)()) {
        std::string s;
        for (int i = 0; i < length; ++i) {
            s += (this->*pick)();
        }
        return s;
    }
    std::string body() {
        const int roll = below(100);
        if (roll < 12) {
            return run(2 + below(5), &NameMaker::digit);
        }
        if (roll < 17) {  // AABB, ABAB, AAAB and friends
            const char a = digit();
            const char b = static_cast<char>('0' + (a - '0' + 1 + below(9)) % 10);
            static constexpr std::array<std::string_view, 4> kShapes = {"AABB", "ABAB", "AAAB",
                                                                        "ABBA"};
            std::string s(kShapes[static_cast<std::size_t>(below(4))]);
            for (char& c : s) {
                c = c == 'A' ? a : b;
            }
            return s;
        }
        if (roll < 30) {
            return run(2 + below(4), &NameMaker::letter);
        }
        if (roll < 52) {
            std::string s;
            for (int i = 1 + below(3); i > 0; --i) {
                s += syllable();
            }
            return s;
        }
        if (roll < 62) {
            return run(2 + below(3), &NameMaker::consonant);
        }
        if (roll < 76) {
            std::string s =
                run(1 + below(4), &NameMaker::letter) + run(1 + below(4), &NameMaker::digit);
            return below(2) == 0 ? s : std::string(s.rbegin(), s.rend());
        }
        if (roll < 84) {
            return run(2 + below(5), &NameMaker::letter) + "-" +
                   run(2 + below(5), &NameMaker::letter);
        }
        if (roll < 98) {
            return run(6 + below(7), &NameMaker::letter);
        }
        return below(2) == 0 ? std::string("xn--") + run(6, &NameMaker::letter) : "中文网";
    }
    std::string_view tld() {
        static constexpr std::array<std::string_view, 10> kTlds = {
            "com", "com", "com", "com", "com", "cn", "net", "com.cn", "top", "vip"};
        return kTlds[static_cast<std::size_t>(below(static_cast<int>(kTlds.size())))];
    }

    std::mt19937 random_{20261207};
};

const std::vector<std::string>& domains() {
    static const std::vector<std::string> names = [] {
        NameMaker maker;
        std::vector<std::string> out;
        out.reserve(kNames);
        for (std::size_t i = 0; i < kNames; ++i) {
            out.push_back(maker.next());
        }
        return out;
    }();
    return names;
}

const std::vector<filter::NameFeatures>& features() {
    static const std::vector<filter::NameFeatures> all = [] {
        std::vector<filter::NameFeatures> out;
        out.reserve(kNames);
        for (const std::string& d : domains()) {
            out.push_back(filter::computeFeatures(d));
        }
        return out;
    }();
    return all;
}

void BM_ComputeFeatures(benchmark::State& state) {
    const auto& names = domains();
    for (auto _ : state) {
        for (const std::string& d : names) {
            filter::NameFeatures f = filter::computeFeatures(d);
            benchmark::DoNotOptimize(f);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * names.size()));
}
BENCHMARK(BM_ComputeFeatures)->Unit(benchmark::kMillisecond);

// What a score filter or a 评分 column costs per name that has no features yet.
void BM_ScoreFromDomain(benchmark::State& state) {
    const auto& names = domains();
    const filter::ScoreWeights weights = filter::defaultScoreWeights();
    for (auto _ : state) {
        for (const std::string& d : names) {
            const int score = filter::scoreValue(filter::computeFeatures(d), weights);
            benchmark::DoNotOptimize(score);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * names.size()));
}
BENCHMARK(BM_ScoreFromDomain)->Unit(benchmark::kMillisecond);

void BM_ScoreValue(benchmark::State& state) {
    const auto& all = features();
    const filter::ScoreWeights weights = filter::defaultScoreWeights();
    for (auto _ : state) {
        for (const filter::NameFeatures& f : all) {
            benchmark::DoNotOptimize(filter::scoreValue(f, weights));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
}
BENCHMARK(BM_ScoreValue)->Unit(benchmark::kMillisecond);

// The score with its breakdown text (--explain, a 评分说明 cell), from computed features.
void BM_ScoreBreakdown(benchmark::State& state) {
    const auto& all = features();
    const filter::ScoreWeights weights = filter::defaultScoreWeights();
    for (auto _ : state) {
        for (const filter::NameFeatures& f : all) {
            filter::Score score = filter::scoreName(f, weights);
            benchmark::DoNotOptimize(score);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
}
BENCHMARK(BM_ScoreBreakdown)->Unit(benchmark::kMillisecond);

constexpr std::array<const char*, 7> kExpressions = {
    "len<=5 tld=com,cn !has=4 纯数字",
    "双拼 tld=com",
    "pattern=AABB,ABAB",
    "声母 len=3..4",
    "has=88,168 !new",
    "kind=mixed starts=a,b ends=8",
    "len<=6 !含横杠 !中文 tld=com,net,cn,com.cn pinyin=1,2,3",
};

void BM_FilterMatch(benchmark::State& state) {
    const char* expression = kExpressions[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(expression);
    const auto compiled = filter::Filter::compile(expression);
    if (!std::holds_alternative<filter::Filter>(compiled)) {
        state.SkipWithError("expression does not compile");
        return;
    }
    const filter::Filter& f = std::get<filter::Filter>(compiled);
    const auto& all = features();
    std::size_t passed = 0;
    for (auto _ : state) {
        passed = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            passed += f.matches(all[i], (i & 7U) == 0) ? 1 : 0;
        }
        benchmark::DoNotOptimize(passed);
    }
    state.counters["passed"] = static_cast<double>(passed);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
}
BENCHMARK(BM_FilterMatch)->DenseRange(0, kExpressions.size() - 1)->Unit(benchmark::kMicrosecond);

void BM_Compile(benchmark::State& state) {
    for (auto _ : state) {
        auto compiled = filter::Filter::compile(kExpressions[6]);
        benchmark::DoNotOptimize(compiled);
    }
}
BENCHMARK(BM_Compile);

}  // namespace

BENCHMARK_MAIN();
