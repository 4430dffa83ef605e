#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jilan::cli {

// A line of a name list that was skipped, with the Chinese message the run prints.
struct SkippedLine {
    std::size_t line = 0;  // 1-based
    std::string message;
};

// The names of a list file, each once, in the order of their first line.
struct NameList {
    std::vector<std::string> names;
    std::vector<SkippedLine> skipped;
    // Set when the file itself could not be read (Chinese); then nothing else is.
    std::string error;
};

// Why `name` cannot be a domain (Chinese), or nullopt when it can: at least two labels, no
// label empty, longer than 63 characters or starting or ending with "-", at most 253
// characters, and only letters, digits, "-" and non-ASCII letters (so no "/ : % \", spaces,
// controls, punctuation or "..").
std::optional<std::string> domainProblem(std::string_view name);

// The text of a list file as UTF-8: UTF-16 when it starts with a UTF-16 byte-order mark,
// UTF-8 when it starts with the UTF-8 one or is valid UTF-8, GB18030 otherwise.
std::string decodeListText(std::string_view bytes);

// Splits decoded bytes into names: CR LF or LF line ends, blank lines and surrounding
// spaces (also the full-width and the no-break space) ignored, a name met again (in any
// letter case) kept once, a line that cannot be a domain skipped with its line number.
NameList parseNameList(std::string_view bytes);

// parseNameList over the file at `path`.
NameList readNameListFile(const std::string& path);

}  // namespace jilan::cli
