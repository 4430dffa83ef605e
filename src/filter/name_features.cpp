#include "filter/name_features.h"

#include <array>

#include "base/ascii_case.h"
#include "base/ascii_text.h"
#include "base/utf8.h"
#include "filter/pinyin.h"

namespace jilan::filter {
namespace {

bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

NameClass classify(std::string_view name) {
    bool ascii = true;
    bool hyphen = false;
    bool digits = false;
    bool letters = false;
    bool other = false;
    for (char c : name) {
        if (!isAscii(c)) {
            ascii = false;
        } else if (c == '-') {
            hyphen = true;
        } else if (base::isAsciiDigit(c)) {
            digits = true;
        } else if (isLower(c)) {
            letters = true;
        } else {
            other = true;
        }
    }
    if (!ascii || name.starts_with("xn--")) {
        return NameClass::Chinese;
    }
    if (hyphen) {
        return NameClass::Hyphen;
    }
    if (other || (!digits && !letters)) {
        return NameClass::Other;
    }
    if (digits && letters) {
        return NameClass::Mixed;
    }
    return digits ? NameClass::Digits : NameClass::Letters;
}

}  // namespace

std::string_view classText(NameClass kind) noexcept {
    switch (kind) {
        case NameClass::Chinese:
            return "中文";
        case NameClass::Hyphen:
            return "含横杠";
        case NameClass::Digits:
            return "纯数字";
        case NameClass::Letters:
            return "纯字母";
        case NameClass::Mixed:
            return "杂米";
        case NameClass::Other:
            break;
    }
    return "其他";
}

NameFeatures computeFeatures(std::string_view domain) {
    NameFeatures f;
    const std::size_t dot = domain.find('.');
    base::assignLower(f.name, domain.substr(0, dot));
    if (dot != std::string_view::npos) {
        base::assignLower(f.tld, domain.substr(dot + 1));
    }
    f.length = base::codePointCount(f.name);
    f.kind = classify(f.name);

    const bool ascii = f.kind != NameClass::Chinese || f.name.starts_with("xn--");
    if (ascii) {
        f.structure.resize(f.name.size());
        for (std::size_t i = 0; i < f.name.size(); ++i) {
            const char c = f.name[i];
            f.structure[i] = base::isAsciiDigit(c) ? 'N' : isLower(c) ? 'L' : c;
        }
    }

    if (f.kind == NameClass::Letters) {
        // A label is at most 63 letters; a longer name simply has no split worth showing.
        constexpr std::size_t kMaxLetters = 63;
        std::array<int, kMaxLetters> ends;
        const int count = f.name.size() <= kMaxLetters ? splitPinyinEnds(f.name, ends) : 0;
        if (count > 0) {
            f.syllables = count;
            f.pinyin.reserve(f.name.size() + static_cast<std::size_t>(count) - 1);
            std::size_t start = 0;
            for (int k = 0; k < count; ++k) {
                const auto end = static_cast<std::size_t>(ends[static_cast<std::size_t>(k)]);
                if (k > 0) {
                    f.pinyin += ' ';
                }
                f.pinyin.append(f.name, start, end - start);
                start = end;
            }
        }
    }
    return f;
}

}  // namespace jilan::filter
