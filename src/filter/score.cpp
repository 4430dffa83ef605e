#include "filter/score.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "base/ascii_text.h"
#include "filter/pinyin.h"
#include "filter/pinyin_words.h"

namespace jilan::filter {
namespace {

// A label is at most 63 bytes; longer names cannot be scored.
constexpr std::size_t kMaxLabel = 63;

// Trivial, so that the factors of Parts are not cleared for every name.
struct Factor {
    std::string_view label;
    int points;
};

// Points up to the knee count in full; above it they approach 100 without reaching it, so
// that names past 100 points (888, 88) keep their order instead of all becoming 100.
constexpr int kKnee = 80;
constexpr int kTop = 100;

int keptPoints(int sum) noexcept {
    if (sum <= kKnee) {
        return std::max(sum, 0);
    }
    const double over = sum - kKnee;
    return static_cast<int>(std::lround(kKnee + (kTop - kKnee) * over / (over + (kTop - kKnee))));
}

// Everything the value and the breakdown are made of, without an allocation.
struct Parts {
    std::string_view reason;  // set: the name cannot be scored
    int length = 0;           // of the body: the name without its hyphens
    std::string_view unit = "位";
    std::string_view classLabel;
    int base = 0;
    std::array<Factor, 6> factors;  // the first factorCount are set
    int factorCount = 0;
    double multiplier = 1.0;

    void add(std::string_view label, int points) {
        if (points != 0 && factorCount < static_cast<int>(factors.size())) {
            factors[static_cast<std::size_t>(factorCount++)] = {label, points};
        }
    }
    int sum() const noexcept {
        int total = base;
        for (int i = 0; i < factorCount; ++i) {
            total += factors[static_cast<std::size_t>(i)].points;
        }
        return total;
    }
    int value() const noexcept {
        return std::clamp(static_cast<int>(std::lround(keptPoints(sum()) * multiplier)), 0, 100);
    }
};

bool isLetter(char c) {
    return c >= 'a' && c <= 'z';
}
bool isConsonant(char c) {
    return isLetter(c) && c != 'a' && c != 'e' && c != 'i' && c != 'o' && c != 'u' && c != 'v';
}

// U+FF01..U+FF5E, the full-width forms of ASCII: EF BC 81..EF BD 9E in UTF-8.
bool hasFullWidthAscii(std::string_view text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        const auto b1 = static_cast<unsigned char>(text[i + 1]);
        if (b0 == 0xEF && (b1 == 0xBC || b1 == 0xBD)) {
            const unsigned code =
                ((b1 & 0x3FU) << 6U) | (static_cast<unsigned char>(text[i + 2]) & 0x3FU);
            if (code >= 0xF01 && code <= 0xF5E) {
                return true;
            }
        }
    }
    return false;
}

// The suffix: labels of letters, digits, hyphens or non-ASCII characters, none empty.
bool suffixIsWellFormed(std::string_view tld) {
    if (tld.empty() || tld.front() == '.' || tld.back() == '.' ||
        tld.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(tld.begin(), tld.end(), [](char c) {
        return base::isAsciiDigit(c) || isLetter(c) || c == '-' || c == '.' ||
               static_cast<unsigned char>(c) >= 0x80;
    });
}

std::string_view reasonFor(const NameFeatures& f) {
    if (f.name.empty()) {
        return "无法评分：没有名称";
    }
    if (f.tld.empty()) {
        return "无法评分：没有后缀";
    }
    if (f.name.size() > kMaxLabel) {
        return "无法评分：名称超过 63 个字节";
    }
    if (f.name.starts_with("xn--")) {
        return "无法评分：xn-- 编码的名称，请给出中文原文";
    }
    if (hasFullWidthAscii(f.name) || hasFullWidthAscii(f.tld)) {
        return "无法评分：含全角字符";
    }
    if (f.kind == NameClass::Other) {
        return "无法评分：名称含域名不允许的字符";
    }
    if (f.name.front() == '-' || f.name.back() == '-') {
        return "无法评分：横杠在名称开头或结尾";
    }
    if (!suffixIsWellFormed(f.tld)) {
        return "无法评分：后缀有误";
    }
    return {};
}

// The best pattern of an ASCII body, with its points.
Factor bestPattern(std::string_view s, const ScoreWeights& w) {
    const std::size_t n = s.size();
    Factor best{{}, 0};
    const auto consider = [&best](std::string_view label, int points) {
        if (points > best.points) {
            best = {label, points};
        }
    };
    if (n >= 2 && std::all_of(s.begin(), s.end(), [&s](char c) { return c == s.front(); })) {
        consider("豹子", w.leopard);
    }
    const bool sameKind = std::all_of(s.begin(), s.end(), base::isAsciiDigit) ||
                          std::all_of(s.begin(), s.end(), isLetter);
    if (n >= 3 && sameKind) {
        const int step = s[1] - s[0];
        bool run = step == 1 || step == -1;
        for (std::size_t i = 2; run && i < n; ++i) {
            run = s[i] - s[i - 1] == step;
        }
        if (run) {
            consider("顺子", w.run);
        }
    }
    if (n == 4) {
        const char a = s[0], b = s[1], c = s[2], d = s[3];
        if (a == b && c == d && a != c) {
            consider("AABB", w.aabb);
        }
        if (a == c && b == d && a != b) {
            consider("ABAB", w.abab);
        }
        if (a == d && b == c && a != b) {
            consider("ABBA", w.abba);
        }
        if (a == b && b == c && c != d) {
            consider("AAAB", w.aaab);
        }
        if (a != b && b == c && c == d) {
            consider("ABBB", w.aaab);
        }
    }
    if (n >= 5) {
        // The shortest part that, written n / p times, makes the name; one character is 豹子.
        for (std::size_t p = 2; p * 2 <= n; ++p) {
            if (n % p != 0) {
                continue;
            }
            bool periodic = true;
            for (std::size_t i = p; periodic && i < n; ++i) {
                periodic = s[i] == s[i - p];
            }
            if (periodic) {
                consider("重复", w.repeat);
                break;
            }
        }
    }
    return best;
}

// Syllable ends of `letters` into `ends`: from the features' split when the name is the body,
// else split here. Returns the number of syllables, 0 when there is none.
int syllableEnds(const NameFeatures& f, std::string_view letters, bool isName,
                 std::span<int> ends) {
    if (!isName) {
        return splitPinyinEnds(letters, ends);
    }
    int count = 0;
    int spaces = 0;
    for (std::size_t i = 0; i < f.pinyin.size(); ++i) {
        if (f.pinyin[i] == ' ') {
            ends[static_cast<std::size_t>(count++)] = static_cast<int>(i) - spaces++;
        }
    }
    if (f.syllables > 0) {
        ends[static_cast<std::size_t>(count++)] = static_cast<int>(letters.size());
    }
    return count;
}

constexpr std::string_view kInitialsLabel = "声母";
constexpr std::array<std::string_view, 5> kPinyinLabels = {"", "单拼", "双拼", "三拼", "多拼"};

void scoreLetters(const NameFeatures& f, std::string_view body, bool isName, const ScoreWeights& w,
                  Parts& p) {
    const int length = static_cast<int>(body.size());
    const bool initials = length >= 2 && std::all_of(body.begin(), body.end(), isConsonant);
    p.classLabel = initials ? kInitialsLabel : classText(NameClass::Letters);
    p.base = (initials ? w.initials : w.letters).at(length, w.beyond);

    std::array<int, kMaxLabel> ends;  // filled by syllableEnds
    const int syllables = syllableEnds(f, body, isName, ends);
    if (syllables > 0) {
        const LengthPoints& table = syllables == 1   ? w.pinyin1
                                    : syllables == 2 ? w.pinyin2
                                    : syllables == 3 ? w.pinyin3
                                                     : w.pinyinMore;
        const int points = table.at(length, w.beyond);
        if (points >= p.base) {
            p.base = points;
            p.classLabel = kPinyinLabels[static_cast<std::size_t>(std::min(syllables, 4))];
        }
        if (isPinyinWord(body)) {
            p.add("常用词", w.word);
        } else {
            for (int k = 0; k + 1 < syllables; ++k) {
                const auto cut = static_cast<std::size_t>(ends[static_cast<std::size_t>(k)]);
                if (isPinyinWord(body.substr(0, cut)) && isPinyinWord(body.substr(cut))) {
                    p.add("两个常用词", w.twoWords);
                    break;
                }
            }
        }
    }
}

void scoreDigits(std::string_view body, const ScoreWeights& w, Parts& p) {
    const bool four = body.find('4') != std::string_view::npos;
    if (four) {
        p.add("含4", w.four);
    } else if (body.find('0') == std::string_view::npos) {
        p.add("无0无4", w.noZeroNoFour);
    }
    const auto lucky = std::count_if(body.begin(), body.end(),
                                     [](char c) { return c == '6' || c == '8' || c == '9'; });
    p.add("吉利数字", std::min(static_cast<int>(lucky) * w.lucky, w.luckyMost));
}

Parts evaluate(const NameFeatures& f, const ScoreWeights& w) noexcept {
    Parts p;
    p.reason = reasonFor(f);
    if (!p.reason.empty()) {
        return p;
    }
    p.multiplier = w.suffixMultiplier(f.tld);
    if (f.kind == NameClass::Chinese) {
        p.length = f.length;
        p.unit = "字";
        p.classLabel = classText(NameClass::Chinese);
        p.base = w.chinese.at(f.length, w.beyond);
        return p;
    }

    // A hyphenated name is scored as the name without its hyphens, less their cost.
    std::array<char, kMaxLabel> stripped;  // the first body.size() are set
    std::string_view body = f.name;
    const auto hyphens = std::count(f.name.begin(), f.name.end(), '-');
    if (hyphens > 0) {
        const auto end = std::copy_if(f.name.begin(), f.name.end(), stripped.begin(),
                                      [](char c) { return c != '-'; });
        body = std::string_view(stripped.data(), static_cast<std::size_t>(end - stripped.begin()));
    }
    p.length = static_cast<int>(body.size());

    const bool hasDigit = std::any_of(body.begin(), body.end(), base::isAsciiDigit);
    const bool hasLetter = std::any_of(body.begin(), body.end(), isLetter);
    if (hasDigit && hasLetter) {
        p.classLabel = classText(NameClass::Mixed);
        p.base = w.mixed.at(p.length, w.beyond);
    } else if (hasDigit) {
        p.classLabel = classText(NameClass::Digits);
        p.base = w.digits.at(p.length, w.beyond);
    } else {
        scoreLetters(f, body, hyphens == 0, w, p);
    }

    const Factor pattern = bestPattern(body, w);
    p.add(pattern.label, pattern.points);
    if (hasDigit && !hasLetter) {
        scoreDigits(body, w, p);
    } else if (hasDigit && body.find('4') != std::string_view::npos) {
        p.add("含4", w.four);
    }
    if (hasDigit && hasLetter) {
        p.add("字母数字混合", w.mix);
    }
    if (hyphens > 0) {
        p.add(hyphens == 1 ? "横杠" : "多个横杠", static_cast<int>(hyphens) * w.hyphen);
    }
    return p;
}

constexpr std::array<std::string_view, 11> kNumerals = {"",   "一", "两", "三", "四", "五",
                                                        "六", "七", "八", "九", "十"};

std::string lengthWord(int length) {
    if (length >= 1 && length < static_cast<int>(kNumerals.size())) {
        return std::string(kNumerals[static_cast<std::size_t>(length)]);
    }
    return std::to_string(length);
}

// 1.0, 0.8, 0.55: one decimal at least, two when the second is not zero.
std::string multiplierText(double m) {
    std::array<char, 32> buffer{};
    const int written = std::snprintf(buffer.data(), buffer.size(), "%.2f", m);
    std::string text(buffer.data(), static_cast<std::size_t>(std::max(written, 0)));
    if (text.size() >= 4 && text.back() == '0' && text[text.size() - 3] == '.') {
        text.pop_back();
    }
    return text;
}

}  // namespace

int scoreValue(const NameFeatures& f, const ScoreWeights& weights) noexcept {
    const Parts p = evaluate(f, weights);
    return p.reason.empty() ? p.value() : -1;
}

Score scoreName(const NameFeatures& f, const ScoreWeights& weights) {
    const Parts p = evaluate(f, weights);
    Score score;
    if (!p.reason.empty()) {
        score.breakdown = std::string(p.reason);
        return score;
    }
    score.value = p.value();
    std::string& text = score.breakdown;
    text = lengthWord(p.length);
    text += p.unit;
    text += p.classLabel;
    text += ' ';
    text += std::to_string(p.base);
    for (int i = 0; i < p.factorCount; ++i) {
        const Factor& factor = p.factors[static_cast<std::size_t>(i)];
        text += factor.points < 0 ? " - " : " + ";
        text += factor.label;
        text += ' ';
        text += std::to_string(std::abs(factor.points));
    }
    const int sum = p.sum();
    const int kept = keptPoints(sum);
    text += " = " + std::to_string(sum);
    if (kept != sum) {
        text += "，计 " + std::to_string(kept);
    }
    text += " × " + f.tld + ' ' + multiplierText(p.multiplier);
    text += " = " + std::to_string(score.value);
    return score;
}

}  // namespace jilan::filter
