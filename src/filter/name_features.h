#pragma once

// What an investor sees in a domain name at a glance, computed once per name: its length, its
// class (纯数字, 纯字母, ...), its letter/digit structure and its pinyin reading.

#include <string>
#include <string_view>

namespace jilan::filter {

// In the order the class rules are tried: the first that applies wins.
enum class NameClass { Chinese, Hyphen, Digits, Letters, Mixed, Other };

// "中文" "含横杠" "纯数字" "纯字母" "杂米" "其他"
std::string_view classText(NameClass kind) noexcept;

// Stored beside each name in the history; bump when any rule below or a default weight of the
// score (stored beside the features) changes, so stored features are recomputed.
// 2: the score under the default weights joined the stored features.
inline constexpr int kFeaturesVersion = 2;

struct NameFeatures {
    std::string name;  // text before the first dot, ASCII lower-cased
    std::string tld;   // text after the first dot, ASCII lower-cased ("com.cn")
    int length = 0;    // code points of the name as listed (xn-- not decoded)
    NameClass kind = NameClass::Other;
    std::string structure;  // per position N digit, L letter, any other character as itself
                            // ("a8b" -> "LNL", "a-1" -> "L-N");
                            // empty for non-ASCII names
    std::string pinyin;     // fewest-syllable split joined by single spaces ("lan shan");
                            // empty when there is none
    int syllables = 0;      // 0 when there is no split
};

// Class rules, the first that applies: 中文 (any non-ASCII character, or an xn-- name),
// 含横杠 (a hyphen), 纯数字, 纯字母 (ASCII letters), 杂米 (ASCII letters and digits, at least
// one of each), 其他 (anything else, the empty name included). Pinyin only for 纯字母 names.
NameFeatures computeFeatures(std::string_view domain);

}  // namespace jilan::filter
