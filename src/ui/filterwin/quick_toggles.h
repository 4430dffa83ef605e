#pragma once

#include <string>
#include <vector>

namespace jilan::ui::filterwin {

// The check boxes and the length range beside the filter line. Within a group the checked
// boxes are alternatives (纯数字 or 纯字母; 单拼 or 双拼; any checked suffix); the groups and
// the line must all hold.
// The 高分 toggle's bound.
inline constexpr int kHighScore = 70;

struct QuickToggles {
    bool digits = false;                                                     // 纯数字
    bool letters = false;                                                    // 纯字母
    bool mixed = false;                                                      // 杂米
    bool initials = false;                                                   // 声母
    bool oneSyllable = false, twoSyllables = false, threeSyllables = false;  // 单拼 双拼 三拼
    bool newOnly = false;                                                    // 只看新域名
    bool highScore = false;             // 高分 (≥70): score>=kHighScore
    int minLength = 0;                  // 0: no bound
    int maxLength = 0;                  // 0: no bound
    std::vector<std::string> suffixes;  // none checked: every suffix

    friend bool operator==(const QuickToggles&, const QuickToggles&) = default;
};

// The toggles in the filter language ("kind=digits,letters pinyin=2 len<=8 tld=com,cn"), so
// that they are compiled and matched as the line is. Empty when nothing is set.
std::string toggleExpression(const QuickToggles& toggles);

// A preset's toggles as one line of text and back; unknown words are ignored.
std::string encodeToggles(const QuickToggles& toggles);
QuickToggles decodeToggles(const std::string& text);

}  // namespace jilan::ui::filterwin
