#pragma once

// Reading back what the XLSX writer produced: one member of the zip archive through the
// `unzip` tool, and the XML entities of a cell's text.
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jilan::testing {

// What a shell command prints on its standard output.
inline std::string commandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        out.append(chunk, n);
    }
    ::pclose(pipe);
    return out;
}

// One member of a zip archive, as `unzip -p` prints it; empty when it cannot be read.
inline std::string unzipMember(const std::string& archive, const std::string& member) {
    return commandOutput("unzip -p '" + archive + "' '" + member + "' 2>/dev/null");
}

// The names of an archive's members, in the archive's order; empty when it cannot be read.
inline std::vector<std::string> zipMemberNames(const std::string& archive) {
    std::vector<std::string> names;
    const std::string listing = commandOutput("unzip -Z1 '" + archive + "' 2>/dev/null");
    for (std::size_t at = 0, end; (end = listing.find('\n', at)) != std::string::npos;
         at = end + 1) {
        names.push_back(listing.substr(at, end - at));
    }
    return names;
}

// The five predefined XML entities replaced by their characters (&amp; last).
inline std::string unescapeXml(std::string text) {
    const std::pair<std::string_view, std::string_view> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos;) {
            text.replace(at, from.size(), to);
            at += to.size();
        }
    }
    return text;
}

}  // namespace jilan::testing
