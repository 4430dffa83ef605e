#include "filter/pinyin_words.h"

#include <algorithm>
#include <array>

namespace jilan::filter {
namespace {

constexpr std::string_view kWordsList[] = {
#include "filter/pinyin_words.inc"
};

static_assert(std::is_sorted(std::begin(kWordsList), std::end(kWordsList)));

}  // namespace

std::span<const std::string_view> pinyinWords() noexcept {
    return kWordsList;
}

bool isPinyinWord(std::string_view lowerLetters) noexcept {
    return std::binary_search(std::begin(kWordsList), std::end(kWordsList), lowerLetters);
}

}  // namespace jilan::filter
