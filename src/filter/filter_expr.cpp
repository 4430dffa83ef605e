#include "filter/filter_expr.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "base/ascii_case.h"
#include "base/ascii_text.h"
#include "base/utf8.h"
#include "filter/score.h"

namespace jilan::filter {
namespace {

constexpr std::string_view kFullWidthSpace = "\u3000";
constexpr std::string_view kFullWidthBang = "\uFF01";
constexpr std::string_view kFullWidthComma = "\uFF0C";

// Lengths and syllable counts are small: a bit per value 0..63 answers them in one step, and
// the ranges are kept for the rare value beyond.
constexpr int kMaskedValues = 64;
// A value needs at most this many digits; a longer one is refused rather than overflowing.
constexpr std::size_t kMaxDigits = 4;
constexpr int kMaxValue = 9999;
// How much of a term or a value an error message shows.
constexpr std::size_t kShownChars = 80;

// Cheapest first: compiled terms are checked in this order, since the order of an "all of"
// does not change its result.
enum class Test : std::uint8_t {
    New,
    Watched,
    Kind,
    Length,
    Pinyin,
    Initials,
    Tld,
    Starts,
    Ends,
    Has,
    Pattern,
    Score
};

struct Range {
    int low = 0;
    int high = 0;
};

struct NumberSet {
    std::uint64_t mask = 0;
    std::vector<Range> ranges;
    int lowest = std::numeric_limits<int>::max();
    int highest = std::numeric_limits<int>::min();

    void add(Range r) {
        lowest = std::min(lowest, r.low);
        highest = std::max(highest, r.high);
        for (int v = r.low; v <= r.high && v < kMaskedValues; ++v) {
            mask |= std::uint64_t{1} << v;
        }
        if (r.high >= kMaskedValues) {
            ranges.push_back(r);
        }
    }
    bool contains(int v) const noexcept {
        if (v >= 0 && v < kMaskedValues) {
            return ((mask >> v) & 1U) != 0;
        }
        return std::any_of(ranges.begin(), ranges.end(),
                           [v](const Range& r) { return v >= r.low && v <= r.high; });
    }
};

// One position of a pattern. A "unit" is one code point of the name: a byte that starts a
// UTF-8 sequence and the continuation bytes after it.
struct Element {
    enum Kind : std::uint8_t { Digit, Letter, Consonant, Vowel, Any, Variable, Literal };
    Kind kind = Any;
    // Variables are numbered in the order they first appear, so at a variable's first use
    // exactly the variables numbered below it are bound.
    std::uint8_t variable = 0;
    bool firstUse = false;
    std::uint32_t offset = 0;  // the literal's bytes in Pattern::text
    std::uint32_t size = 0;
};

struct Pattern {
    std::string text;
    std::vector<Element> elements;
};

bool isLetter(char c) {
    return c >= 'a' && c <= 'z';
}
bool isVowel(char c) {
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u';
}
bool isConsonant(char c) {
    return isLetter(c) && !isVowel(c) && c != 'v';
}

bool classHolds(Element::Kind kind, char c) {
    switch (kind) {
        case Element::Digit:
            return base::isAsciiDigit(c);
        case Element::Letter:
            return isLetter(c);
        case Element::Consonant:
            return isConsonant(c);
        case Element::Vowel:
            return isVowel(c);
        default:
            return true;
    }
}

// One byte per position: the common case, ASCII names.
bool patternMatchesBytes(const Pattern& p, std::string_view name) noexcept {
    std::array<char, 26> bound{};
    for (std::size_t i = 0; i < p.elements.size(); ++i) {
        const Element& e = p.elements[i];
        const char c = name[i];
        if (e.kind == Element::Literal) {
            if (e.size != 1 || p.text[e.offset] != c) {
                return false;
            }
        } else if (e.kind != Element::Variable) {
            if (!classHolds(e.kind, c)) {
                return false;
            }
        } else if (!e.firstUse) {
            if (bound[e.variable] != c) {
                return false;
            }
        } else {
            // Different letters stand for different characters.
            for (std::size_t v = 0; v < e.variable; ++v) {
                if (bound[v] == c) {
                    return false;
                }
            }
            bound[e.variable] = c;
        }
    }
    return true;
}

// Any name: positions are code points of one or more bytes.
bool patternMatchesUnits(const Pattern& p, std::string_view name) noexcept {
    std::array<std::string_view, 26> bound{};
    std::size_t at = 0;
    for (const Element& e : p.elements) {
        if (at >= name.size()) {
            return false;
        }
        const std::size_t end = base::utf8CharEnd(name, at);
        const std::string_view unit = name.substr(at, end - at);
        at = end;
        if (e.kind == Element::Literal) {
            if (unit != std::string_view(p.text).substr(e.offset, e.size)) {
                return false;
            }
        } else if (e.kind != Element::Variable) {
            if (!classHolds(e.kind, unit.size() == 1 ? unit[0] : '\0')) {
                return false;
            }
        } else if (!e.firstUse) {
            if (bound[e.variable] != unit) {
                return false;
            }
        } else {
            for (std::size_t v = 0; v < e.variable; ++v) {
                if (bound[v] == unit) {
                    return false;
                }
            }
            bound[e.variable] = unit;
        }
    }
    return at == name.size();
}

bool patternMatches(const Pattern& p, std::string_view name, int length) noexcept {
    if (static_cast<std::size_t>(length) != p.elements.size()) {
        return false;
    }
    return name.size() == p.elements.size() ? patternMatchesBytes(p, name)
                                            : patternMatchesUnits(p, name);
}

struct Term {
    Test test = Test::New;
    bool negated = false;
    std::uint8_t kinds = 0;  // bit per NameClass
    NumberSet numbers;
    std::vector<std::string> texts;
    std::vector<Pattern> patterns;
};

}  // namespace

struct Filter::Compiled {
    std::vector<Term> terms;
    Filter::Bounds bounds;
    bool boundsExact = false;
    std::vector<std::string> suffixes;
    ScoreWeights weights;  // of the score terms
};

namespace {

bool anyEqual(const std::vector<std::string>& texts, std::string_view value) {
    return std::any_of(texts.begin(), texts.end(),
                       [value](const std::string& t) { return t == value; });
}

bool holds(const Term& t, const NameFeatures& f, bool isNew, bool watched,
           const ScoreWeights& w) noexcept {
    const std::string_view name = f.name;
    switch (t.test) {
        case Test::New:
            return isNew;
        case Test::Watched:
            return watched;
        case Test::Kind:
            return ((t.kinds >> static_cast<int>(f.kind)) & 1U) != 0;
        case Test::Length:
            return t.numbers.contains(f.length);
        case Test::Pinyin:
            return t.numbers.contains(f.syllables);
        case Test::Initials:
            return name.size() >= 2 && std::all_of(name.begin(), name.end(), isConsonant);
        case Test::Tld:
            return anyEqual(t.texts, f.tld);
        case Test::Starts:
            return std::any_of(t.texts.begin(), t.texts.end(),
                               [name](const std::string& s) { return name.starts_with(s); });
        case Test::Ends:
            return std::any_of(t.texts.begin(), t.texts.end(),
                               [name](const std::string& s) { return name.ends_with(s); });
        case Test::Has:
            return std::any_of(t.texts.begin(), t.texts.end(), [name](const std::string& s) {
                return name.find(s) != std::string_view::npos;
            });
        case Test::Pattern:
            return std::any_of(t.patterns.begin(), t.patterns.end(),
                               [&](const Pattern& p) { return patternMatches(p, name, f.length); });
        case Test::Score: {
            // A name that cannot be scored has no score to compare.
            const int score = scoreValue(f, w);
            return score >= 0 && t.numbers.contains(score);
        }
    }
    return false;
}

// ---- parsing ----

std::uint8_t kindBit(NameClass k) {
    return static_cast<std::uint8_t>(1U << static_cast<int>(k));
}

struct Named {
    std::string_view word;
    NameClass kind;
};
constexpr std::array<Named, 12> kNames = {{
    {"digits", NameClass::Digits},
    {"letters", NameClass::Letters},
    {"mixed", NameClass::Mixed},
    {"hyphen", NameClass::Hyphen},
    {"idn", NameClass::Chinese},
    {"other", NameClass::Other},
    {"纯数字", NameClass::Digits},
    {"纯字母", NameClass::Letters},
    {"杂米", NameClass::Mixed},
    {"含横杠", NameClass::Hyphen},
    {"中文", NameClass::Chinese},
    {"其他", NameClass::Other},
}};

std::optional<NameClass> classNamed(std::string_view word) {
    for (const Named& n : kNames) {
        if (n.word == word) {
            return n.kind;
        }
    }
    return std::nullopt;
}

constexpr std::array<std::string_view, 3> kSyllableWords = {"单拼", "双拼", "三拼"};

// Terms that are a single word, without a value.
std::optional<Term> wordTerm(std::string_view word) {
    Term t;
    if (word == "new") {
        t.test = Test::New;
        return t;
    }
    if (word == "watched" || word == "关注") {
        t.test = Test::Watched;
        return t;
    }
    if (word == "声母") {
        t.test = Test::Initials;
        return t;
    }
    for (std::size_t i = 0; i < kSyllableWords.size(); ++i) {
        if (word == kSyllableWords[i]) {
            t.test = Test::Pinyin;
            t.numbers.add({static_cast<int>(i) + 1, static_cast<int>(i) + 1});
            return t;
        }
    }
    // Only the Chinese class names stand alone; "digits" and the like follow kind=.
    if (!word.empty() && static_cast<unsigned char>(word.front()) >= 0x80) {
        if (const auto kind = classNamed(word)) {
            t.test = Test::Kind;
            t.kinds = kindBit(*kind);
            return t;
        }
    }
    return std::nullopt;
}

struct Key {
    std::string_view name;
    Test test;
};
constexpr std::array<Key, 10> kKeys = {{
    {"len", Test::Length},
    {"tld", Test::Tld},
    {"kind", Test::Kind},
    {"pattern", Test::Pattern},
    {"pinyin", Test::Pinyin},
    {"has", Test::Has},
    {"starts", Test::Starts},
    {"ends", Test::Ends},
    {"score", Test::Score},
    {"评分", Test::Score},
}};

std::optional<Test> keyTest(std::string_view key) {
    for (const Key& k : kKeys) {
        if (k.name == key) {
            return k.test;
        }
    }
    return std::nullopt;
}

std::optional<int> number(std::string_view text) {
    if (text.empty() || text.size() > kMaxDigits ||
        !std::all_of(text.begin(), text.end(), base::isAsciiDigit)) {
        return std::nullopt;
    }
    int v = 0;
    for (char c : text) {
        v = v * 10 + (c - '0');
    }
    return v;
}

// A part of an expression as a message shows it: invalid bytes replaced, at most
// kShownChars characters.
std::string shown(std::string_view part) {
    const std::string text = base::decodeUtf8Lossy(part);
    std::size_t at = 0;
    for (std::size_t chars = 0; at < text.size() && chars < kShownChars; ++chars) {
        at = base::utf8CharEnd(text, at);
    }
    return at < text.size() ? text.substr(0, at) + "…" : text;
}

// The reason a term is refused, or nothing when it compiled.
using Reason = std::optional<std::string>;

std::vector<std::string_view> splitItems(std::string_view value) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size();) {
        std::size_t width = 0;
        if (i == value.size()) {
            width = 0;
        } else if (value[i] == ',') {
            width = 1;
        } else if (value.substr(i).starts_with(kFullWidthComma)) {
            width = kFullWidthComma.size();
        } else {
            ++i;
            continue;
        }
        items.push_back(value.substr(start, i - start));
        if (width == 0) {
            break;
        }
        i += width;
        start = i;
    }
    return items;
}

// What is wrong with an item of a value; the item is named only when the value has several
// (a single one is the value the message already shows with its term).
std::string itemFault(const char* fault, std::string_view item, std::size_t items) {
    return items > 1 ? std::string(fault) + " " + shown(item) : std::string(fault);
}

Reason addNumbers(Term& t, std::string_view op, std::string_view value) {
    if (op != "=") {
        const auto n = number(value);
        if (!n) {
            return std::string("数字有误");
        }
        Range r{0, kMaxValue};
        if (op == "<") {
            r.high = *n - 1;
        } else if (op == "<=") {
            r.high = *n;
        } else if (op == ">") {
            r.low = *n + 1;
        } else {
            r.low = *n;
        }
        if (r.low <= r.high) {
            t.numbers.add(r);
        }
        return std::nullopt;
    }
    const std::vector<std::string_view> items = splitItems(value);
    for (std::string_view item : items) {
        if (item.empty()) {
            return "缺少值";
        }
        const std::size_t dots = item.find("..");
        if (dots == std::string_view::npos) {
            const auto n = number(item);
            if (!n) {
                return itemFault("数字有误", item, items.size());
            }
            t.numbers.add({*n, *n});
            continue;
        }
        const auto low = number(item.substr(0, dots));
        const auto high = number(item.substr(dots + 2));
        if (!low || !high || *low > *high) {
            return itemFault("范围有误", item, items.size());
        }
        t.numbers.add({*low, *high});
    }
    return std::nullopt;
}

void compilePattern(std::string_view text, Pattern& p) {
    p.text = std::string(text);
    std::array<int, 26> numberOf;
    numberOf.fill(-1);
    int variables = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = base::utf8CharEnd(text, at);
        Element e;
        const char c = text[at];
        if (end - at > 1 || !(c == '?' || (c >= 'A' && c <= 'Z'))) {
            e.kind = Element::Literal;
            e.offset = static_cast<std::uint32_t>(at);
            e.size = static_cast<std::uint32_t>(end - at);
        } else if (c == '?') {
            e.kind = Element::Any;
        } else if (c == 'N') {
            e.kind = Element::Digit;
        } else if (c == 'L') {
            e.kind = Element::Letter;
        } else if (c == 'C') {
            e.kind = Element::Consonant;
        } else if (c == 'V') {
            e.kind = Element::Vowel;
        } else {
            e.kind = Element::Variable;
            int& number = numberOf[static_cast<std::size_t>(c - 'A')];
            e.firstUse = number < 0;
            if (e.firstUse) {
                number = variables++;
            }
            e.variable = static_cast<std::uint8_t>(number);
        }
        p.elements.push_back(e);
        at = end;
    }
}

Reason addValues(Term& t, std::string_view key, std::string_view op, std::string_view value) {
    if (t.test == Test::Length || t.test == Test::Score) {
        return addNumbers(t, op, value);
    }
    if (op != "=") {
        return shown(key) + " 只能用 =";
    }
    if (t.test == Test::Pinyin) {
        return addNumbers(t, op, value);
    }
    const std::vector<std::string_view> items = splitItems(value);
    for (std::string_view item : items) {
        if (item.empty()) {
            return "缺少值";
        }
        switch (t.test) {
            case Test::Kind: {
                const auto kind = classNamed(base::lowerAscii(item));
                if (!kind) {
                    return itemFault("未知类别", item, items.size());
                }
                t.kinds |= kindBit(*kind);
                break;
            }
            case Test::Pattern:
                t.patterns.emplace_back();
                compilePattern(item, t.patterns.back());
                break;
            case Test::Tld:
                // ".com" is written often enough to mean "com".
                if (item.front() == '.') {
                    item.remove_prefix(1);
                    if (item.empty()) {
                        return "缺少值";
                    }
                }
                t.texts.push_back(base::lowerAscii(item));
                break;
            default:
                t.texts.push_back(base::lowerAscii(item));
                break;
        }
    }
    return std::nullopt;
}

Reason compileTerm(std::string_view text, Term& t) {
    std::string_view body = text;
    if (body.starts_with('!')) {
        body.remove_prefix(1);
        t.negated = true;
    } else if (body.starts_with(kFullWidthBang)) {
        body.remove_prefix(kFullWidthBang.size());
        t.negated = true;
    }
    if (body.empty()) {
        return "缺少条件";
    }
    const std::size_t opAt = body.find_first_of("=<>");
    if (opAt == std::string_view::npos) {
        const bool negated = t.negated;
        const auto word = wordTerm(base::lowerAscii(body));
        if (!word) {
            return std::string("未知条件");  // the term itself, which the message shows
        }
        t = *word;
        t.negated = negated;
        return std::nullopt;
    }
    const std::string key = base::lowerAscii(body.substr(0, opAt));
    std::size_t opEnd = opAt + 1;
    if (body[opAt] != '=' && opEnd < body.size() && body[opEnd] == '=') {
        ++opEnd;
    }
    const std::string_view op = body.substr(opAt, opEnd - opAt);
    const std::string_view value = body.substr(opEnd);
    const auto test = keyTest(key);
    if (!test) {
        if (wordTerm(key)) {
            return shown(key) + " 不带值";
        }
        if (key.empty()) {
            return std::string("未知条件");
        }
        return "未知条件 " + shown(body.substr(0, opAt));
    }
    t.test = *test;
    if (value.empty()) {
        return "缺少值";
    }
    return addValues(t, key, op, value);
}

// The terms of an expression as written, and the position of the one whose quote is never
// closed (it runs to the end), if any.
struct Split {
    std::vector<std::string_view> terms;
    std::optional<std::size_t> unclosedQuote;
};

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// Splits at ASCII blanks and the full-width space, except inside a pair of quotes (" or '),
// which keeps what it holds together: `has="8 8"` is one term.
Split splitTerms(std::string_view expression) {
    Split split;
    std::size_t start = 0;
    char quote = 0;
    auto flush = [&](std::size_t end) {
        if (end > start) {
            split.terms.push_back(expression.substr(start, end - start));
        }
    };
    for (std::size_t i = 0; i < expression.size();) {
        const char c = expression[i];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
            ++i;
            continue;
        }
        std::size_t width = 0;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            width = 1;
        } else if (expression.substr(i).starts_with(kFullWidthSpace)) {
            width = kFullWidthSpace.size();
        }
        if (width == 0) {
            quote = isQuote(c) ? c : 0;
            ++i;
            continue;
        }
        flush(i);
        i += width;
        start = i;
    }
    flush(expression.size());
    if (quote != 0) {
        split.unclosedQuote = split.terms.size() - 1;
    }
    return split;
}

// A term without its quotes (each pair removed, what is inside kept as it is).
std::string unquoted(std::string_view term) {
    std::string out;
    out.reserve(term.size());
    char quote = 0;
    for (const char c : term) {
        if (quote == 0 && isQuote(c)) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The full-width forms of ASCII (U+FF01..U+FF5E: ＝ ＜ ＞ ！ ＂ ５ ｃｏｍ) as their half-width
// characters and the full-width space as a blank, so a term typed with a Chinese input method
// still reads. `from` holds, for each byte of the text and one past its end, where it came
// from in the expression as typed: an error quotes the term the user wrote.
struct HalfWidth {
    std::string text;
    std::vector<std::size_t> from;
};

HalfWidth halfWidth(std::string_view expression) {
    HalfWidth out;
    out.text.reserve(expression.size());
    out.from.reserve(expression.size() + 1);
    const auto put = [&out](char c, std::size_t at) {
        out.text.push_back(c);
        out.from.push_back(at);
    };
    for (std::size_t i = 0; i < expression.size(); ++i) {
        const auto byte = [&](std::size_t at) {
            return static_cast<unsigned char>(expression[at]);
        };
        if (i + 2 < expression.size() && byte(i) == 0xEF) {
            if (byte(i + 1) == 0xBC && byte(i + 2) >= 0x81 && byte(i + 2) <= 0xBF) {
                put(static_cast<char>(0x21 + (byte(i + 2) - 0x81)), i);
                i += 2;
                continue;
            }
            if (byte(i + 1) == 0xBD && byte(i + 2) >= 0x80 && byte(i + 2) <= 0x9E) {
                put(static_cast<char>(0x60 + (byte(i + 2) - 0x80)), i);
                i += 2;
                continue;
            }
        }
        if (expression.substr(i).starts_with(kFullWidthSpace)) {
            put(' ', i);
            i += kFullWidthSpace.size() - 1;
            continue;
        }
        put(expression[i], i);
    }
    out.from.push_back(expression.size());
    return out;
}

}  // namespace

namespace {

// Only what holds for every kept name: a negated length or pattern term says nothing about the
// length, while a class is one value, so a negated class term removes it exactly.
Filter::Bounds boundsOf(const std::vector<Term>& terms) {
    Filter::Bounds b;
    const auto narrowLength = [&b](int low, int high) {
        b.minLength = std::max(b.minLength, low);
        b.maxLength = std::min(b.maxLength, high);
    };
    const std::uint8_t letters = kindBit(NameClass::Letters);
    for (const Term& t : terms) {
        switch (t.test) {
            case Test::Kind:
                b.kinds &= static_cast<std::uint8_t>(t.negated ? ~t.kinds : t.kinds);
                break;
            case Test::Length:
                if (!t.negated) {
                    narrowLength(t.numbers.lowest, t.numbers.highest);
                }
                break;
            case Test::Pattern:
                if (!t.negated) {
                    const auto [shortest, longest] =
                        std::minmax_element(t.patterns.begin(), t.patterns.end(),
                                            [](const Pattern& x, const Pattern& y) {
                                                return x.elements.size() < y.elements.size();
                                            });
                    narrowLength(static_cast<int>(shortest->elements.size()),
                                 static_cast<int>(longest->elements.size()));
                }
                break;
            case Test::Pinyin:
                // Only letter names have syllables.
                if (!t.negated && !t.numbers.contains(0)) {
                    b.kinds &= letters;
                }
                break;
            case Test::Initials:
                if (!t.negated) {
                    b.kinds &= letters;
                }
                break;
            default:
                break;
        }
    }
    return b;
}

// Whether the numbers are one unbroken range from lowest to highest.
bool unbroken(const NumberSet& n) {
    for (int v = std::max(n.lowest, 0); v <= std::min(n.highest, kMaskedValues - 1); ++v) {
        if (!n.contains(v)) {
            return false;
        }
    }
    if (n.highest < kMaskedValues) {
        return true;
    }
    // Above the mask only whole ranges are kept: they must join end to end.
    std::vector<Range> above = n.ranges;
    std::sort(above.begin(), above.end(),
              [](const Range& a, const Range& b) { return a.low < b.low; });
    long long reached = kMaskedValues - 1;
    for (const Range& r : above) {
        if (r.low > reached + 1) {
            return false;
        }
        reached = std::max<long long>(reached, r.high);
    }
    return reached >= n.highest;
}

// The filter keeps exactly the names inside its bounds and, with a suffix term, of those
// suffixes: every term is a class, an unbroken length range or one suffix list.
bool boundsAreExact(const std::vector<Term>& terms) {
    int suffixTerms = 0;
    for (const Term& t : terms) {
        switch (t.test) {
            case Test::Kind:
                break;
            case Test::Length:
                if (t.negated || !unbroken(t.numbers)) {
                    return false;
                }
                break;
            case Test::Tld:
                if (t.negated || ++suffixTerms > 1) {
                    return false;
                }
                break;
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> filterWords() {
    std::vector<std::string> words = {"new", "声母"};
    words.insert(words.end(), kSyllableWords.begin(), kSyllableWords.end());
    for (const Named& n : kNames) {
        // Only the Chinese class names stand alone.
        if (static_cast<unsigned char>(n.word.front()) >= 0x80) {
            words.emplace_back(n.word);
        }
    }
    for (const Key& k : kKeys) {
        words.push_back(std::string(k.name) + (k.test == Test::Score ? ">=" : "="));
    }
    return words;
}

std::variant<Filter, FilterError> Filter::compile(std::string_view expression) {
    return compile(expression, defaultScoreWeights());
}

std::variant<Filter, FilterError> Filter::compile(std::string_view expression,
                                                  const ScoreWeights& weights) {
    const HalfWidth normal = halfWidth(expression);
    const Split split = splitTerms(normal.text);
    const std::vector<std::string_view>& texts = split.terms;
    // A term as the user typed it, for the error message.
    const auto typed = [&](std::string_view term) {
        const auto start = static_cast<std::size_t>(term.data() - normal.text.data());
        const std::size_t begin = normal.from[start];
        return expression.substr(begin, normal.from[start + term.size()] - begin);
    };
    if (texts.empty()) {
        return Filter{};
    }
    auto compiled = std::make_shared<Compiled>();
    compiled->terms.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Term term;
        Reason reason;
        if (!base::isValidUtf8(texts[i])) {
            reason = "含有无效的 UTF-8 字节";
        } else if (split.unclosedQuote == i) {
            reason = "引号不成对";
        } else {
            reason = compileTerm(unquoted(texts[i]), term);
        }
        if (reason) {
            FilterError error;
            error.term = static_cast<int>(i) + 1;
            error.text = std::string(typed(texts[i]));
            error.reason = std::move(*reason);
            // The term once, cut; the reason names at most a part of it.
            error.message = "筛选条件有误：第" + std::to_string(error.term) + "项 \"" +
                            shown(error.text) + "\"：" + error.reason;
            return error;
        }
        compiled->terms.push_back(std::move(term));
    }
    std::stable_sort(compiled->terms.begin(), compiled->terms.end(),
                     [](const Term& a, const Term& b) { return a.test < b.test; });
    compiled->bounds = boundsOf(compiled->terms);
    compiled->boundsExact = boundsAreExact(compiled->terms);
    for (const Term& t : compiled->terms) {
        if (t.test == Test::Tld && !t.negated) {
            compiled->suffixes = t.texts;  // any one of them narrows; the last is taken
        }
    }
    compiled->weights = weights;
    Filter filter;
    filter.usesNew_ = std::any_of(compiled->terms.begin(), compiled->terms.end(),
                                  [](const Term& t) { return t.test == Test::New; });
    filter.usesWatched_ = std::any_of(compiled->terms.begin(), compiled->terms.end(),
                                      [](const Term& t) { return t.test == Test::Watched; });
    filter.usesScore_ = std::any_of(compiled->terms.begin(), compiled->terms.end(),
                                    [](const Term& t) { return t.test == Test::Score; });
    filter.compiled_ = std::move(compiled);
    return filter;
}

bool Filter::matches(const NameFeatures& f, bool isNew, bool watched) const noexcept {
    if (!compiled_) {
        return true;
    }
    for (const Term& t : compiled_->terms) {
        if (holds(t, f, isNew, watched, compiled_->weights) == t.negated) {
            return false;
        }
    }
    return true;
}

Filter::Bounds Filter::bounds() const noexcept {
    return compiled_ ? compiled_->bounds : Bounds{};
}

bool Filter::boundsExact() const noexcept {
    return !compiled_ || compiled_->boundsExact;
}

std::vector<std::string> Filter::suffixes() const {
    return compiled_ ? compiled_->suffixes : std::vector<std::string>{};
}

}  // namespace jilan::filter
