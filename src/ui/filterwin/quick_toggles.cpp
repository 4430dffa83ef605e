#include "quick_toggles.h"

#include <charconv>
#include <sstream>
#include <string_view>

namespace jilan::ui::filterwin {

namespace {

// A group of alternatives as one term: "key=a,b"; nothing when none is set.
void addAnyOf(std::string& out, std::string_view key, const std::vector<std::string>& values) {
    if (values.empty()) {
        return;
    }
    if (!out.empty()) {
        out += ' ';
    }
    out += key;
    out += '=';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += values[i];
    }
}

void addTerm(std::string& out, std::string_view term) {
    if (!out.empty()) {
        out += ' ';
    }
    out += term;
}

struct Flag {
    std::string_view word;
    bool QuickToggles::*member;
};

constexpr Flag kFlags[] = {
    {"digits", &QuickToggles::digits},        {"letters", &QuickToggles::letters},
    {"mixed", &QuickToggles::mixed},          {"initials", &QuickToggles::initials},
    {"one", &QuickToggles::oneSyllable},      {"two", &QuickToggles::twoSyllables},
    {"three", &QuickToggles::threeSyllables}, {"new", &QuickToggles::newOnly},
    {"high", &QuickToggles::highScore},
};

int toInt(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

std::string toggleExpression(const QuickToggles& t) {
    std::string out;
    std::vector<std::string> kinds;
    if (t.digits) {
        kinds.emplace_back("digits");
    }
    if (t.letters) {
        kinds.emplace_back("letters");
    }
    if (t.mixed) {
        kinds.emplace_back("mixed");
    }
    addAnyOf(out, "kind", kinds);
    if (t.initials) {
        addTerm(out, "声母");
    }
    std::vector<std::string> syllables;
    if (t.oneSyllable) {
        syllables.emplace_back("1");
    }
    if (t.twoSyllables) {
        syllables.emplace_back("2");
    }
    if (t.threeSyllables) {
        syllables.emplace_back("3");
    }
    addAnyOf(out, "pinyin", syllables);
    if (t.minLength > 0) {
        addTerm(out, "len>=" + std::to_string(t.minLength));
    }
    if (t.maxLength > 0) {
        addTerm(out, "len<=" + std::to_string(t.maxLength));
    }
    addAnyOf(out, "tld", t.suffixes);
    if (t.newOnly) {
        addTerm(out, "new");
    }
    if (t.highScore) {
        addTerm(out, "score>=" + std::to_string(kHighScore));
    }
    return out;
}

std::string encodeToggles(const QuickToggles& t) {
    std::string out;
    for (const Flag& flag : kFlags) {
        if (t.*flag.member) {
            addTerm(out, flag.word);
        }
    }
    if (t.minLength > 0) {
        addTerm(out, "min=" + std::to_string(t.minLength));
    }
    if (t.maxLength > 0) {
        addTerm(out, "max=" + std::to_string(t.maxLength));
    }
    addAnyOf(out, "tld", t.suffixes);
    return out;
}

QuickToggles decodeToggles(const std::string& text) {
    QuickToggles t;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const std::string_view w(word);
        for (const Flag& flag : kFlags) {
            if (w == flag.word) {
                t.*flag.member = true;
            }
        }
        if (w.starts_with("min=")) {
            t.minLength = toInt(w.substr(4));
        } else if (w.starts_with("max=")) {
            t.maxLength = toInt(w.substr(4));
        } else if (w.starts_with("tld=")) {
            std::string_view rest = w.substr(4);
            while (!rest.empty()) {
                const auto comma = rest.find(',');
                const std::string_view one = rest.substr(0, comma);
                if (!one.empty()) {
                    t.suffixes.emplace_back(one);
                }
                rest =
                    comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
            }
        }
    }
    return t;
}

}  // namespace jilan::ui::filterwin
