#pragma once

// A digest as messages: the title line, any warnings, one line a name (best first), and the
// cut of what does not fit, then split into messages within a platform's limits.
//   霁岚 2026-12-08 四位数字：新匹配 12 个
//   8866.com  纯数字  4位  评分 77  删除 2026-12-09 10:00

#include <cstddef>
#include <string>
#include <vector>

#include "push/channel_types.h"

namespace jilan::push {

struct DigestEntry {
    std::string domain;
    std::string kind;  // 纯数字, 纯字母, ...
    int length = 0;
    int score = -1;      // -1: not scored; the order is then by name
    std::string detail;  // deletion time / booking deadline / price, when the run knows them
};

struct DigestText {
    std::string title;
    std::vector<std::string> notes;  // warnings shown under the title
    std::vector<std::string> lines;  // one per listed name, then "另有 N 个，见 FILE"
    std::size_t listed = 0;          // how many of `lines` are names
    std::size_t total = 0;           // matches in all
};

struct DigestFacts {
    std::string date;        // 2026-12-08
    std::string digestName;  // 四位数字
    bool onlyNew = true;
    int maxNames = 30;       // 0: all
    std::string outputFile;  // the run's file, named when names are left out
    bool somePagesFailed = false;
    std::vector<std::string> notes;
    // Names picked by hand rather than matched: the title counts them without 匹配
    // (霁岚 2026-12-09 选中域名：8 个).
    bool picked = false;
};

// Sorts `entries` best first (score, then name) and lays the digest out.
DigestText layoutDigest(std::vector<DigestEntry>& entries, const DigestFacts& facts);

// One line of a name.
std::string entryLine(const DigestEntry& entry);

struct Message {
    int number = 1;  // 1-based
    int count = 1;
    std::string title;  // with (1/3) when split
    std::string text;   // title line, notes and lines, joined by \n
};

// The digest as messages for one platform: split at line boundaries, numbered (1/3), each within
// the platform's limits; platforms with a small quota get one message cut with "……另有 N 个".
std::vector<Message> splitDigest(const DigestText& digest, const PlatformLimits& limits);

// The size of a text as the platform counts it (bytes or code points).
std::size_t measured(const std::string& text, const PlatformLimits& limits);

}  // namespace jilan::push
