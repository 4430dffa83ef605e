// The filter language on arbitrary text. Properties: compiling never fails other than with a
// FilterError that names a term; a compiled filter answers for any name without throwing;
// "!term" answers the opposite of "term"; a term written twice changes nothing; only `new`
// looks at the newness flag; every kept name is within the filter's bounds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/utf8.h"
#include "filter/filter_expr.h"
#include "filter/name_features.h"
#include "fuzz_check.h"

namespace filter = jilan::filter;
using jilan::fuzz::check;

namespace {

const std::vector<filter::NameFeatures>& samples() {
    static const std::vector<filter::NameFeatures> all = [] {
        constexpr std::array<std::string_view, 14> kDomains = {
            "6688.com", "1212.cn", "abc.com.cn", "lanshan.com", "beijingren.net",
            "bjdx.com", "a8b.top", "ab-12.com",  "中国.cn",     "xn--fiqs8s.com",
            "a_1.com",  ".com",    "Wang",       "lvse.vip"};
        std::vector<filter::NameFeatures> out;
        for (std::string_view d : kDomains) {
            out.push_back(filter::computeFeatures(d));
        }
        return out;
    }();
    return all;
}

bool isSeparated(std::string_view text) {
    return text.find_first_of(" \t\r\n") != std::string_view::npos ||
           text.find("\u3000") != std::string_view::npos;
}

// The text with every quote character left out: at least what the language removes.
std::string withoutQuotes(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != '"' && c != '\'') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = jilan::fuzz::asText(data, size);
    const auto compiled = filter::Filter::compile(text);
    if (const auto* error = std::get_if<filter::FilterError>(&compiled)) {
        check(error->term >= 1, "an error names a term from 1 on");
        check(!error->text.empty(), "an error quotes its term");
        check(text.find(error->text) != std::string_view::npos, "the quoted term is in the input");
        check(!error->reason.empty(), "an error gives a reason");
        check(error->message.starts_with("筛选条件有误：第"), "the message says what it is");
        check(error->message.ends_with(error->reason), "the message ends with the reason");
        // The term shown once and cut, the reason naming at most a cut part: bounded, and
        // printable whatever bytes the input had.
        check(error->message.size() <= 1024, "the message is bounded");
        check(jilan::base::isValidUtf8(error->message), "the message is valid UTF-8");
        return 0;
    }
    const filter::Filter& f = std::get<filter::Filter>(compiled);

    std::vector<filter::NameFeatures> names = samples();
    names.push_back(filter::computeFeatures(text));

    for (const filter::NameFeatures& n : names) {
        try {
            const bool fresh = f.matches(n, true);
            const bool old = f.matches(n, false);
            check(f.usesNew() || fresh == old, "only the new term looks at newness");
            const filter::Filter::Bounds b = f.bounds();
            const bool within =
                n.length >= b.minLength && n.length <= b.maxLength && b.allows(n.kind);
            check(within || (!fresh && !old), "every kept name is within the bounds");
        } catch (...) {
            check(false, "a compiled filter never throws");
        }
    }

    const std::string twice = std::string(text) + "\u3000" + std::string(text);
    const auto again = filter::Filter::compile(twice);
    check(std::holds_alternative<filter::Filter>(again), "a valid expression twice is valid");
    for (const filter::NameFeatures& n : names) {
        check(std::get<filter::Filter>(again).matches(n, true) == f.matches(n, true),
              "a term written twice changes nothing");
    }

    // One plain term: its negation compiles and answers the opposite for every name. Quotes
    // are removed before a term is read, so `""!new` is already negated.
    const bool oneTerm = !text.empty() && !isSeparated(text) && !f.matchesEverything();
    const std::string bare = withoutQuotes(text);
    if (oneTerm && !bare.starts_with("!") && !bare.starts_with("\uFF01")) {
        const auto negated = filter::Filter::compile("!" + std::string(text));
        check(std::holds_alternative<filter::Filter>(negated), "a valid term negated is valid");
        for (const filter::NameFeatures& n : names) {
            for (bool isNew : {false, true}) {
                check(std::get<filter::Filter>(negated).matches(n, isNew) != f.matches(n, isNew),
                      "!term answers the opposite of term");
            }
        }
    }
    return 0;
}
