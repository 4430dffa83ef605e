#pragma once

// The common words of the score: place names and everyday words of two syllables or more, in
// toneless pinyin (src/filter/data/pinyin_words.txt, compiled in).

#include <span>
#include <string_view>

namespace jilan::filter {

// Sorted, no duplicates.
std::span<const std::string_view> pinyinWords() noexcept;

// True when `lowerLetters` is one word of the list.
bool isPinyinWord(std::string_view lowerLetters) noexcept;

}  // namespace jilan::filter
