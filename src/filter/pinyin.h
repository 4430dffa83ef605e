#pragma once

// Splitting a lower-case letter string into toneless Mandarin (汉语拼音) syllables.

#include <span>
#include <string_view>
#include <vector>

namespace jilan::filter {

// The syllable table, ü written as v. Sorted, no duplicates.
std::span<const std::string_view> pinyinSyllables() noexcept;

// True when `text` is one syllable of the table.
bool isPinyinSyllable(std::string_view text) noexcept;

// The longest syllable of the table, in letters.
inline constexpr int kLongestSyllable = 6;

// The split of `lowerLetters` into the fewest syllables; among splits with that many, the one
// whose first syllable is longest, then the second, and so on. The views point into
// `lowerLetters`. Empty when there is no complete split, or when the text holds anything but
// the letters a-z.
std::vector<std::string_view> splitPinyin(std::string_view lowerLetters);

// The same split without allocating: writes the end offset of each syllable into `ends` and
// returns the number of syllables, 0 when there is none. `ends` needs room for
// lowerLetters.size() entries.
int splitPinyinEnds(std::string_view lowerLetters, std::span<int> ends);

}  // namespace jilan::filter
