#include "filter/pinyin.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace jilan::filter {
namespace {

// The standard 汉语拼音 syllables without tones, ü written as v (lv, nv, lve, nve), 409 in
// all. The interjection-only syllables m, n, ng, hm, hng and ê are left out: a name such as
// "hm" or "ng" is an abbreviation, not a word.
constexpr std::array<std::string_view, 409> kSyllables = {
    "a",     "ai",    "an",    "ang",    "ao",     "ba",    "bai",   "ban",    "bang",  "bao",
    "bei",   "ben",   "beng",  "bi",     "bian",   "biao",  "bie",   "bin",    "bing",  "bo",
    "bu",    "ca",    "cai",   "can",    "cang",   "cao",   "ce",    "cen",    "ceng",  "cha",
    "chai",  "chan",  "chang", "chao",   "che",    "chen",  "cheng", "chi",    "chong", "chou",
    "chu",   "chua",  "chuai", "chuan",  "chuang", "chui",  "chun",  "chuo",   "ci",    "cong",
    "cou",   "cu",    "cuan",  "cui",    "cun",    "cuo",   "da",    "dai",    "dan",   "dang",
    "dao",   "de",    "dei",   "den",    "deng",   "di",    "dia",   "dian",   "diao",  "die",
    "ding",  "diu",   "dong",  "dou",    "du",     "duan",  "dui",   "dun",    "duo",   "e",
    "ei",    "en",    "eng",   "er",     "fa",     "fan",   "fang",  "fei",    "fen",   "feng",
    "fo",    "fou",   "fu",    "ga",     "gai",    "gan",   "gang",  "gao",    "ge",    "gei",
    "gen",   "geng",  "gong",  "gou",    "gu",     "gua",   "guai",  "guan",   "guang", "gui",
    "gun",   "guo",   "ha",    "hai",    "han",    "hang",  "hao",   "he",     "hei",   "hen",
    "heng",  "hong",  "hou",   "hu",     "hua",    "huai",  "huan",  "huang",  "hui",   "hun",
    "huo",   "ji",    "jia",   "jian",   "jiang",  "jiao",  "jie",   "jin",    "jing",  "jiong",
    "jiu",   "ju",    "juan",  "jue",    "jun",    "ka",    "kai",   "kan",    "kang",  "kao",
    "ke",    "kei",   "ken",   "keng",   "kong",   "kou",   "ku",    "kua",    "kuai",  "kuan",
    "kuang", "kui",   "kun",   "kuo",    "la",     "lai",   "lan",   "lang",   "lao",   "le",
    "lei",   "leng",  "li",    "lia",    "lian",   "liang", "liao",  "lie",    "lin",   "ling",
    "liu",   "lo",    "long",  "lou",    "lu",     "luan",  "lun",   "luo",    "lv",    "lve",
    "ma",    "mai",   "man",   "mang",   "mao",    "me",    "mei",   "men",    "meng",  "mi",
    "mian",  "miao",  "mie",   "min",    "ming",   "miu",   "mo",    "mou",    "mu",    "na",
    "nai",   "nan",   "nang",  "nao",    "ne",     "nei",   "nen",   "neng",   "ni",    "nian",
    "niang", "niao",  "nie",   "nin",    "ning",   "niu",   "nong",  "nou",    "nu",    "nuan",
    "nuo",   "nv",    "nve",   "o",      "ou",     "pa",    "pai",   "pan",    "pang",  "pao",
    "pei",   "pen",   "peng",  "pi",     "pian",   "piao",  "pie",   "pin",    "ping",  "po",
    "pou",   "pu",    "qi",    "qia",    "qian",   "qiang", "qiao",  "qie",    "qin",   "qing",
    "qiong", "qiu",   "qu",    "quan",   "que",    "qun",   "ran",   "rang",   "rao",   "re",
    "ren",   "reng",  "ri",    "rong",   "rou",    "ru",    "ruan",  "rui",    "run",   "ruo",
    "sa",    "sai",   "san",   "sang",   "sao",    "se",    "sen",   "seng",   "sha",   "shai",
    "shan",  "shang", "shao",  "she",    "shei",   "shen",  "sheng", "shi",    "shou",  "shu",
    "shua",  "shuai", "shuan", "shuang", "shui",   "shun",  "shuo",  "si",     "song",  "sou",
    "su",    "suan",  "sui",   "sun",    "suo",    "ta",    "tai",   "tan",    "tang",  "tao",
    "te",    "teng",  "ti",    "tian",   "tiao",   "tie",   "ting",  "tong",   "tou",   "tu",
    "tuan",  "tui",   "tun",   "tuo",    "wa",     "wai",   "wan",   "wang",   "wei",   "wen",
    "weng",  "wo",    "wu",    "xi",     "xia",    "xian",  "xiang", "xiao",   "xie",   "xin",
    "xing",  "xiong", "xiu",   "xu",     "xuan",   "xue",   "xun",   "ya",     "yan",   "yang",
    "yao",   "ye",    "yi",    "yin",    "ying",   "yo",    "yong",  "you",    "yu",    "yuan",
    "yue",   "yun",   "za",    "zai",    "zan",    "zang",  "zao",   "ze",     "zei",   "zen",
    "zeng",  "zha",   "zhai",  "zhan",   "zhang",  "zhao",  "zhe",   "zhei",   "zhen",  "zheng",
    "zhi",   "zhong", "zhou",  "zhu",    "zhua",   "zhuai", "zhuan", "zhuang", "zhui",  "zhun",
    "zhuo",  "zi",    "zong",  "zou",    "zu",     "zuan",  "zui",   "zun",    "zuo",
};

static_assert(std::is_sorted(kSyllables.begin(), kSyllables.end()));
static_assert(std::adjacent_find(kSyllables.begin(), kSyllables.end()) == kSyllables.end());
static_assert(std::all_of(kSyllables.begin(), kSyllables.end(), [](std::string_view s) {
    return !s.empty() && s.size() <= kLongestSyllable &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}));

// A trie over the table, built at compile time: walking it from one position of a name finds
// every syllable that starts there in at most kLongestSyllable steps.
struct TrieNode {
    std::array<std::int16_t, 26> next{};  // 0 = no child (the root is never a child)
    bool syllableEnds = false;
};

constexpr int trieNodeCount() {
    // Sorted input: a syllable adds one node per letter past its common prefix with the one
    // before it.
    int count = 1;
    std::string_view previous;
    for (std::string_view s : kSyllables) {
        std::size_t common = 0;
        while (common < s.size() && common < previous.size() && s[common] == previous[common]) {
            ++common;
        }
        count += static_cast<int>(s.size() - common);
        previous = s;
    }
    return count;
}

constexpr int kTrieNodes = trieNodeCount();
static_assert(kTrieNodes < 32768);

constexpr std::array<TrieNode, kTrieNodes> buildTrie() {
    std::array<TrieNode, kTrieNodes> nodes{};
    int used = 1;
    for (std::string_view s : kSyllables) {
        int at = 0;
        for (char c : s) {
            std::int16_t& child = nodes[at].next[c - 'a'];
            if (child == 0) {
                child = static_cast<std::int16_t>(used++);
            }
            at = child;
        }
        nodes[at].syllableEnds = true;
    }
    return nodes;
}

constexpr std::array<TrieNode, kTrieNodes> kTrie = buildTrie();

constexpr int kNoSplit = 1 << 20;

bool allLowerLetters(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// fewest[i] = the fewest syllables that cover text[i..], kNoSplit when none do. Filled from
// the end: each position looks only at the syllables that start there.
void fillFewest(std::string_view text, int* fewest) {
    const int n = static_cast<int>(text.size());
    fewest[n] = 0;
    for (int i = n - 1; i >= 0; --i) {
        int best = kNoSplit;
        int node = 0;
        for (int j = i; j < n && j - i < kLongestSyllable; ++j) {
            node = kTrie[node].next[text[j] - 'a'];
            if (node == 0) {
                break;
            }
            if (kTrie[node].syllableEnds && fewest[j + 1] + 1 < best) {
                best = fewest[j + 1] + 1;
            }
        }
        fewest[i] = best;
    }
}

// Walks forward taking, at each step, the longest syllable that keeps the count at its
// minimum: this is the tie-break "longer first syllable, then second, ...".
int collectEnds(std::string_view text, const int* fewest, std::span<int> ends) {
    const int n = static_cast<int>(text.size());
    int count = 0;
    int i = 0;
    while (i < n) {
        int node = 0;
        int chosen = -1;
        for (int j = i; j < n && j - i < kLongestSyllable; ++j) {
            node = kTrie[node].next[text[j] - 'a'];
            if (node == 0) {
                break;
            }
            if (kTrie[node].syllableEnds && fewest[j + 1] + 1 == fewest[i]) {
                chosen = j + 1;
            }
        }
        ends[static_cast<std::size_t>(count++)] = chosen;
        i = chosen;
    }
    return count;
}

}  // namespace

std::span<const std::string_view> pinyinSyllables() noexcept {
    return kSyllables;
}

bool isPinyinSyllable(std::string_view text) noexcept {
    return std::binary_search(kSyllables.begin(), kSyllables.end(), text);
}

int splitPinyinEnds(std::string_view lowerLetters, std::span<int> ends) {
    if (lowerLetters.empty() || !allLowerLetters(lowerLetters) ||
        ends.size() < lowerLetters.size()) {
        return 0;
    }
    // Domain labels are at most 63 letters; longer text takes the heap.
    constexpr std::size_t kOnStack = 64;
    std::array<int, kOnStack + 1> onStack;
    std::vector<int> onHeap;
    int* fewest = onStack.data();
    if (lowerLetters.size() > kOnStack) {
        onHeap.resize(lowerLetters.size() + 1);
        fewest = onHeap.data();
    }
    fillFewest(lowerLetters, fewest);
    if (fewest[0] >= kNoSplit) {
        return 0;
    }
    return collectEnds(lowerLetters, fewest, ends);
}

std::vector<std::string_view> splitPinyin(std::string_view lowerLetters) {
    std::vector<int> ends(lowerLetters.size());
    const int count = splitPinyinEnds(lowerLetters, ends);
    std::vector<std::string_view> out;
    out.reserve(static_cast<std::size_t>(count));
    std::size_t start = 0;
    for (int k = 0; k < count; ++k) {
        const auto end = static_cast<std::size_t>(ends[static_cast<std::size_t>(k)]);
        out.push_back(lowerLetters.substr(start, end - start));
        start = end;
    }
    return out;
}

}  // namespace jilan::filter
