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

// Every split of `text` into table syllables, tried one by one (a plain recursion over the
// table's look-up, no trie, no DP): the best by the rules, as the lengths of its syllables.
void searchSplits(std::string_view text, std::size_t from, std::vector<int>& current,
                  std::vector<int>& best) {
    if (from == text.size()) {
        // Fewer syllables first; then, position by position, the longer syllable.
        if (best.empty() || current.size() < best.size() ||
            (current.size() == best.size() && current > best)) {
            best = current;
        }
        return;
    }
    for (std::size_t len = 1; len <= filter::kLongestSyllable && from + len <= text.size(); ++len) {
        if (filter::isPinyinSyllable(text.substr(from, len))) {
            current.push_back(static_cast<int>(len));
            searchSplits(text, from + len, current, best);
            current.pop_back();
        }
    }
}

std::vector<int> exhaustiveBest(std::string_view text) {
    std::vector<int> current;
    std::vector<int> best;
    searchSplits(text, 0, current, best);
    return best;
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
    constexpr std::size_t kExhaustiveUpTo = 24;
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
