// The names of the day listing (--day N): fresh realistic names, day-to-day turnover, punycode.
#include <algorithm>
#include <array>
#include <unordered_set>

#include "day_listing.h"
#include "page_parts.h"

namespace jilan::sim {

using namespace parts;

namespace {

// Common toneless syllables; every entry is a valid Mandarin syllable.
constexpr std::array<std::string_view, 64> kSyllables = {
    "wang",  "xian", "hao",  "lan",  "shan", "zhong", "guo", "yuan", "bei",  "jing", "ren",
    "tian",  "yi",   "long", "feng", "yun",  "hua",   "xin", "ming", "yue",  "chen", "qing",
    "cheng", "hai",  "jin",  "bao",  "fu",   "le",    "mei", "an",   "kang", "da",   "xing",
    "shang", "wu",   "bo",   "zhi",  "hong", "sheng", "tai", "ying", "chun", "lei",  "xiu",
    "yu",    "zhen", "you",  "ai",   "gu",   "shi",   "wen", "jia",  "he",   "li",   "ke",
    "ji",    "tong", "meng", "qi",   "ya",   "dong",  "nan", "xi",   "bai",
};

constexpr std::string_view kConsonants = "bcdfghjklmnpqrstwxyz";

// Chinese words of the IDN names, as code points.
constexpr std::array<std::u32string_view, 12> kChineseWords = {
    U"中国", U"北京", U"网络", U"商城", U"在线", U"游戏",
    U"上海", U"科技", U"家园", U"音乐", U"汽车", U"旅游",
};

struct Tld {
    std::string_view suffix;
    int weight;  // out of 100
};
constexpr std::array<Tld, 8> kTlds = {{
    {".com", 55},
    {".cn", 15},
    {".net", 8},
    {".com.cn", 8},
    {".top", 4},
    {".org", 4},
    {".cc", 3},
    {".xyz", 3},
}};

std::string_view tldFor(std::uint64_t h) {
    int roll = static_cast<int>(h % 100);
    for (const Tld& t : kTlds) {
        if (roll < t.weight) {
            return t.suffix;
        }
        roll -= t.weight;
    }
    return ".com";
}

// A small deterministic stream of numbers from one seed.
class Draw {
public:
    explicit Draw(std::uint64_t seed) : seed_(seed) {}
    std::uint64_t next(std::uint64_t bound) {
        return hashOf("draw", seed_ + 0x9e37 * ++n_) % bound;
    }
    char digit() { return static_cast<char>('0' + next(10)); }
    char letter() { return static_cast<char>('a' + next(26)); }
    char consonant() { return kConsonants[next(kConsonants.size())]; }
    std::string_view syllable() { return kSyllables[next(kSyllables.size())]; }

private:
    std::uint64_t seed_;
    std::uint64_t n_ = 0;
};

std::string numberPattern(Draw& d) {
    static constexpr std::array<std::string_view, 6> kPatterns = {"AABB", "ABAB", "ABBA",
                                                                  "AAAB", "AAB",  "ABA"};
    const std::string_view pattern = kPatterns[d.next(kPatterns.size())];
    const char a = d.digit();
    char b = d.digit();
    if (b == a) {
        b = static_cast<char>('0' + (a - '0' + 1 + d.next(9)) % 10);
    }
    std::string out;
    for (char p : pattern) {
        out += p == 'A' ? a : b;
    }
    return out;
}

std::string mixed(Draw& d) {
    // A letter-digit shape with at least one of each: a8b, 5g, x9y2, 58tc.
    static constexpr std::array<std::string_view, 6> kShapes = {"LNL",  "NL",  "LNLN",
                                                                "NNLL", "LLN", "LNN"};
    std::string out;
    for (char p : kShapes[d.next(kShapes.size())]) {
        out += p == 'N' ? d.digit() : d.letter();
    }
    return out;
}

}  // namespace

std::string punycodeLabel(std::u32string_view label) {
    constexpr std::uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
    auto adapt = [&](std::uint32_t delta, std::uint32_t points, bool first) {
        delta = first ? delta / kDamp : delta / 2;
        delta += delta / points;
        std::uint32_t k = 0;
        while (delta > ((kBase - kTMin) * kTMax) / 2) {
            delta /= kBase - kTMin;
            k += kBase;
        }
        return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
    };
    auto digit = [](std::uint32_t v) {
        return static_cast<char>(v < 26 ? 'a' + v : '0' + (v - 26));
    };
    std::string out;
    for (char32_t c : label) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        }
    }
    const auto basic = static_cast<std::uint32_t>(out.size());
    if (basic > 0) {
        out += '-';
    }
    std::uint32_t n = 0x80, delta = 0, bias = 72, handled = basic;
    while (handled < label.size()) {
        std::uint32_t m = 0xFFFFFFFF;
        for (char32_t c : label) {
            if (c >= n && c < m) {
                m = c;
            }
        }
        delta += (m - n) * (handled + 1);
        n = m;
        for (char32_t c : label) {
            if (c < n) {
                ++delta;
            }
            if (c == n) {
                std::uint32_t q = delta;
                for (std::uint32_t k = kBase;; k += kBase) {
                    const std::uint32_t t =
                        k <= bias ? kTMin : (k >= bias + kTMax ? kTMax : k - bias);
                    if (q < t) {
                        break;
                    }
                    out += digit(t + (q - t) % (kBase - t));
                    q = (q - t) / (kBase - t);
                }
                out += digit(q);
                bias = adapt(delta, handled + 1, handled == basic);
                delta = 0;
                ++handled;
            }
        }
        ++delta;
        ++n;
    }
    return "xn--" + out;
}

std::string freshDayName(int day, std::uint64_t index, NameKind* kind) {
    const std::uint64_t h = hashOf("fresh", (static_cast<std::uint64_t>(day) << 40) ^ index);
    Draw d(h);
    const int roll = static_cast<int>(h % 100);
    NameKind k = NameKind::Digits;
    std::string name;
    if (roll < 12) {
        k = NameKind::Digits;
        const std::uint64_t len = 2 + d.next(4);
        for (std::uint64_t i = 0; i < len; ++i) {
            name += d.digit();
        }
    } else if (roll < 22) {
        k = NameKind::NumberPattern;
        name = numberPattern(d);
    } else if (roll < 31) {
        k = NameKind::Letters;
        const std::uint64_t len = 2 + d.next(3);
        for (std::uint64_t i = 0; i < len; ++i) {
            name += d.letter();
        }
    } else if (roll < 42) {
        k = NameKind::PinyinWord;
        name = d.syllable();
    } else if (roll < 57) {
        k = NameKind::PinyinPair;
        name = d.syllable();
        // Doubled words (yuanyuan) are popular.
        name += d.next(8) == 0 ? name : std::string(d.syllable());
    } else if (roll < 61) {
        k = NameKind::PinyinTriple;
        for (int i = 0; i < 3; ++i) {
            name += d.syllable();
        }
    } else if (roll < 71) {
        k = NameKind::Initials;
        const std::uint64_t len = 2 + d.next(3);
        for (std::uint64_t i = 0; i < len; ++i) {
            name += d.consonant();
        }
    } else if (roll < 80) {
        k = NameKind::Mixed;
        name = mixed(d);
    } else if (roll < 88) {
        k = NameKind::Hyphenated;
        switch (d.next(3)) {
            case 0:
                name = std::string(d.syllable()) + "-" + std::string(d.syllable());
                break;
            case 1:
                name = std::string(d.syllable()) + "-" + d.digit() + d.digit();
                break;
            default:
                name = std::string{d.digit(), d.digit()} + "-" + std::string(d.syllable());
        }
    } else if (roll < 91) {
        k = NameKind::Idn;
        name = punycodeLabel(kChineseWords[d.next(kChineseWords.size())]);
    } else {
        k = NameKind::PinyinAndNumber;
        name = std::string(d.syllable()) + std::string(d.syllable()) + d.digit() + d.digit();
    }
    if (kind != nullptr) {
        *kind = k;
    }
    return name + std::string(tldFor(h >> 40));
}

DayListing::DayListing(int day, int total) : day_(std::clamp(day, 1, kMaxDay)) {
    const auto size = static_cast<std::size_t>(std::max(total, 0));
    std::vector<std::string> previous;
    for (int d = 1; d <= day_; ++d) {
        std::vector<std::string> today;
        today.reserve(size);
        std::unordered_set<std::string> taken;
        for (const std::string& name : previous) {
            if (hashOf("keep-" + std::to_string(d), name) % 5 != 0) {
                taken.insert(name);
                today.push_back(name);
            }
        }
        // Fresh names are neither on today's list nor on yesterday's.
        const std::unordered_set<std::string> yesterday(previous.begin(), previous.end());
        for (std::uint64_t index = 0; today.size() < size; ++index) {
            std::string name = freshDayName(d, index);
            if (!yesterday.contains(name) && taken.insert(name).second) {
                today.push_back(std::move(name));
            }
        }
        const std::string salt = "order-" + std::to_string(d);
        std::vector<std::pair<std::uint64_t, std::string>> keyed;
        keyed.reserve(today.size());
        for (std::string& name : today) {
            const std::uint64_t key = hashOf(salt, name);
            keyed.emplace_back(key, std::move(name));
        }
        std::sort(keyed.begin(), keyed.end());
        previous.clear();
        for (auto& [key, name] : keyed) {
            previous.push_back(std::move(name));
        }
    }
    names_ = std::move(previous);
}

std::string DayListing::nameAt(int page, int row) const {
    if (page < 1 || row < 1 || row > kMaxRowsPerPage) {
        return {};
    }
    const auto index =
        static_cast<std::size_t>(page - 1) * kMaxRowsPerPage + static_cast<std::size_t>(row - 1);
    return index < names_.size() ? names_[index] : std::string();
}

int dayListingSize(const Options& options) {
    return std::max(options.pages, 0) * kMaxRowsPerPage;
}

}  // namespace jilan::sim
