// The pinyin splitter and the name features on arbitrary text. Properties: the syllables of a
// split join back to the input, each is in the table, and the split is the one an exhaustive
// search picks (fewest syllables, then the longer first syllable, then the second, ...); the
// features of any domain are consistent with each other.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filter/name_features.h"
#include "filter/pinyin.h"
#include "fuzz_check.h"

namespace filter = jilan::filter;
using jilan::fuzz::check;

namespace {

// The best split of `text` by the rules, as the lengths of its syllables, from every split of
// every suffix: the best split from a position is its first syllable followed by the best
// split of the rest (fewer syllables in total means fewer in the rest; with as many, the
// comparison after the shared first syllable is the rest's). Whole splits are compared as
// vectors, without the count-then-longest construction the splitter uses. Each suffix's best
// is kept, so a long run of one-letter syllables costs a few steps per position rather than
// one per split (the plain recursion took ~1 ms per input, too slow for a long run).
std::vector<int> exhaustiveBest(std::string_view text) {
    // best[i]: the best split of text.substr(i); `found[i]` false when there is none.
    std::vector<std::vector<int>> best(text.size() + 1);
    std::vector<bool> found(text.size() + 1, false);
    found[text.size()] = true;
    for (std::size_t from = text.size(); from-- > 0;) {
        for (std::size_t len = 1; len <= filter::kLongestSyllable && from + len <= text.size();
             ++len) {
            if (!found[from + len] || !filter::isPinyinSyllable(text.substr(from, len))) {
                continue;
            }
            std::vector<int> candidate{static_cast<int>(len)};
            candidate.insert(candidate.end(), best[from + len].begin(), best[from + len].end());
            if (!found[from] || candidate.size() < best[from].size() ||
                (candidate.size() == best[from].size() && candidate > best[from])) {
                best[from] = std::move(candidate);
                found[from] = true;
            }
        }
    }
    return found[0] ? best[0] : std::vector<int>{};
}

void checkSplit(std::string_view letters) {
    const std::vector<std::string_view> split = filter::splitPinyin(letters);
    std::string joined;
    std::vector<int> lengths;
    for (std::string_view s : split) {
        check(jilan::fuzz::within(s, letters), "syllables point into the input");
        check(filter::isPinyinSyllable(s), "every syllable is in the table");
        joined += s;
        lengths.push_back(static_cast<int>(s.size()));
    }
    check(split.empty() || joined == letters, "the syllables join back to the input");
    constexpr std::size_t kExhaustiveUpTo = 128;
    const bool lettersOnly =
        !letters.empty() &&
        letters.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string_view::npos;
    if (lettersOnly && letters.size() <= kExhaustiveUpTo) {
        check(lengths == exhaustiveBest(letters), "the split is the best of all splits");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = jilan::fuzz::asText(data, size);
    checkSplit(text);

    // Most bytes are not letters: fold them onto a-z so the splitter sees words.
    std::string letters(text);
    for (char& c : letters) {
        c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
    }
    checkSplit(letters);

    const filter::NameFeatures f = filter::computeFeatures(text);
    check(f.length <= static_cast<int>(f.name.size()), "length counts code points");
    check(f.structure.empty() || f.structure.size() == f.name.size(), "one mark per position");
    check(f.name.find('.') == std::string::npos, "the name stops at the first dot");
    check((f.syllables == 0) == f.pinyin.empty(), "a count exactly when there is a split");
    if (f.syllables > 0) {
        check(f.kind == filter::NameClass::Letters, "pinyin only for letter names");
        std::string unspaced;
        for (char c : f.pinyin) {
            if (c != ' ') {
                unspaced += c;
            }
        }
        check(unspaced == f.name, "the pinyin spells the name");
    }
    return 0;
}
