#include "push/digest_layout.h"

#include <algorithm>

namespace jilan::push {
namespace {

std::size_t codePoints(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::size_t limitOf(const PlatformLimits& limits) {
    return limits.textBytes != 0 ? limits.textBytes : limits.textChars;
}

// A line too long for any message alone is cut at a code point boundary.
std::string fitted(std::string line, std::size_t room, const PlatformLimits& limits) {
    while (!line.empty() && measured(line, limits) > room) {
        line.pop_back();
        while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) {
            line.pop_back();
        }
        if (!line.empty() && (static_cast<unsigned char>(line.back()) & 0x80) != 0) {
            line.pop_back();  // the lead byte of the cut character
        }
    }
    return line;
}

std::string head(const std::string& title, const std::vector<std::string>& notes) {
    std::string text = title;
    for (const std::string& note : notes) {
        text += "\n" + note;
    }
    return text;
}

std::vector<Message> cutToOne(const DigestText& digest, const PlatformLimits& limits) {
    Message message;
    message.title = digest.title;
    message.text = head(digest.title, digest.notes);
    const std::size_t limit = limitOf(limits);
    for (std::size_t i = 0; i < digest.lines.size(); ++i) {
        const std::string candidate = message.text + "\n" + digest.lines[i];
        const std::size_t namesLeft = i < digest.listed ? digest.total - i : 0;
        const std::string cut = "\n……另有 " + std::to_string(namesLeft) + " 个";
        const bool last = i + 1 == digest.lines.size();
        if (limit == 0 || measured(candidate + (last ? "" : cut), limits) <= limit) {
            message.text = candidate;
            continue;
        }
        if (namesLeft == 0) {
            break;  // only the closing line is left out
        }
        message.text += cut;
        break;
    }
    if (limit != 0) {
        message.text = fitted(std::move(message.text), limit, limits);
    }
    return {message};
}

// Packs the lines with room kept for a number of `digits` digits each side of (i/n).
std::vector<std::string> pack(const DigestText& digest, const PlatformLimits& limits,
                              std::size_t digits) {
    const std::size_t limit = limitOf(limits);
    const std::string top =
        head(digest.title + " (" + std::string(digits, '9') + "/" + std::string(digits, '9') + ")",
             digest.notes);
    const std::size_t room =
        limit > measured(top, limits) + 1 ? limit - measured(top, limits) - 1 : 1;
    std::vector<std::string> bodies;
    std::string body;
    for (const std::string& raw : digest.lines) {
        const std::string line = fitted(raw, room, limits);
        const std::string grown = body.empty() ? line : body + "\n" + line;
        if (!body.empty() && measured(grown, limits) > room) {
            bodies.push_back(std::move(body));
            body = line;
        } else {
            body = grown;
        }
    }
    if (!body.empty() || bodies.empty()) {
        bodies.push_back(std::move(body));
    }
    return bodies;
}

}  // namespace

std::size_t measured(const std::string& text, const PlatformLimits& limits) {
    return limits.textBytes != 0 ? text.size() : codePoints(text);
}

std::string entryLine(const DigestEntry& e) {
    std::string line = e.domain + "  " + e.kind + "  " + std::to_string(e.length) + "位";
    if (e.score >= 0) {
        line += "  评分 " + std::to_string(e.score);
    }
    if (!e.detail.empty()) {
        line += "  " + e.detail;
    }
    return line;
}

DigestText layoutDigest(std::vector<DigestEntry>& entries, const DigestFacts& facts) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const DigestEntry& a, const DigestEntry& b) {
                         if (a.score != b.score) {
                             return a.score > b.score;
                         }
                         return a.domain < b.domain;
                     });
    DigestText text;
    text.total = entries.size();
    const char* counted = facts.picked ? "" : facts.onlyNew ? "新匹配 " : "匹配 ";
    text.title = "霁岚 " + facts.date + " " + facts.digestName + "：" + counted +
                 std::to_string(entries.size()) + " 个";
    if (facts.somePagesFailed) {
        text.title += "（部分页面采集失败）";
    }
    text.notes = facts.notes;
    if (entries.empty()) {
        text.lines.push_back(facts.onlyNew ? "今日无新匹配" : "今日无匹配");
        return text;
    }
    const std::size_t shown =
        facts.maxNames == 0 ? entries.size()
                            : std::min(entries.size(), static_cast<std::size_t>(facts.maxNames));
    for (std::size_t i = 0; i < shown; ++i) {
        text.lines.push_back(entryLine(entries[i]));
    }
    text.listed = shown;
    if (shown < entries.size()) {
        text.lines.push_back("另有 " + std::to_string(entries.size() - shown) + " 个，见 " +
                             facts.outputFile);
    }
    return text;
}

std::vector<Message> splitDigest(const DigestText& digest, const PlatformLimits& limits) {
    if (limits.oneMessage) {
        return cutToOne(digest, limits);
    }
    std::string whole = head(digest.title, digest.notes);
    for (const std::string& line : digest.lines) {
        whole += "\n" + line;
    }
    const std::size_t limit = limitOf(limits);
    if (limit == 0 || measured(whole, limits) <= limit) {
        return {{1, 1, digest.title, std::move(whole)}};
    }
    // The number's width changes the room for lines: pack again until it is stable.
    std::size_t digits = 1;
    std::vector<std::string> bodies = pack(digest, limits, digits);
    while (std::to_string(bodies.size()).size() > digits) {
        digits = std::to_string(bodies.size()).size();
        bodies = pack(digest, limits, digits);
    }
    std::vector<Message> messages;
    const int count = static_cast<int>(bodies.size());
    for (int i = 0; i < count; ++i) {
        Message m;
        m.number = i + 1;
        m.count = count;
        m.title = digest.title + " (" + std::to_string(i + 1) + "/" + std::to_string(count) + ")";
        m.text = head(m.title, digest.notes) + "\n" + bodies[static_cast<std::size_t>(i)];
        messages.push_back(std::move(m));
    }
    return messages;
}

}  // namespace jilan::push
