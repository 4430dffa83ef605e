// Just enough of systemd's unit-file rules to run a service's ExecStart= the way the user's
// service manager would: sections and keys, the %h and %% specifiers, Environment= and
// EnvironmentFile= values, and the command line's quoting with ${VAR} and $VAR expansion
// (systemd.unit(5), systemd.service(5), systemd.exec(5)). Anything outside that subset is an
// error rather than a guess, so a unit that needs more fails its test instead of passing by luck.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace jilan::packaging {

template <class T>
struct Parsed {
    T value{};
    std::string error;  // empty when it parsed
    bool ok() const { return error.empty(); }
};

using Environment = std::map<std::string, std::string>;

struct UnitEntry {
    std::string section;
    std::string key;
    std::string value;
};

// "[Section]" and "Key=Value" lines in order; blank lines and comments (# or ;) skipped; a line
// ending in a backslash goes on with the next line (joined by a space).
Parsed<std::vector<UnitEntry>> parseUnitFile(std::string_view text);
// The values of one key in one section, in file order.
std::vector<std::string> unitValues(const std::vector<UnitEntry>& entries, std::string_view section,
                                    std::string_view key);

// %h becomes home and %% one %; any other specifier is an error.
Parsed<std::string> expandSpecifiers(std::string_view value, std::string_view home);

// Words separated by white space; "..." and '...' quote (also inside a word); backslash escapes
// \\ \" \' \n \t \s (space) and a backslash before white space.
Parsed<std::vector<std::string>> splitWords(std::string_view line);

// Environment= value: one or more words NAME=VALUE.
Parsed<Environment> environmentAssignments(std::string_view value);

// EnvironmentFile= contents: NAME=VALUE lines, comments (# or ;) and blank lines; a value is
// trimmed, and one in double quotes loses them (with \" \\ \$ \` escapes) as does one in single
// quotes (taken literally).
Parsed<Environment> parseEnvironmentFile(std::string_view text);

// One command line of ExecStart= after specifier expansion: the words, then in each word
// ${NAME} replaced by the value (one argument whatever it holds; unset: empty), a word that is
// exactly $NAME replaced by the value's words (none when unset or blank), $$ by $.
Parsed<std::vector<std::string>> expandCommandLine(std::string_view line, const Environment& env);

// What the manager runs for a service: its single ExecStart= as argv, and the environment made
// of `base`, then every Environment=, then every EnvironmentFile= (a leading '-' makes a missing
// file no error) read from the file system. Specifiers are expanded with `home`.
struct ServiceCommand {
    std::vector<std::string> argv;
    Environment environment;
};
Parsed<ServiceCommand> serviceCommand(std::string_view unitText, std::string_view home,
                                      const Environment& base);

}  // namespace jilan::packaging
