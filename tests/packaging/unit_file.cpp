#include "unit_file.h"

#include <fstream>
#include <sstream>

namespace jilan::packaging {

namespace {

constexpr std::string_view kBlank = " \t\r\n";

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlank);
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(kBlank) - first + 1);
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const auto end = text.find('\n');
        out.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return out;
}

bool isNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9');
}

bool isName(std::string_view s) {
    if (s.empty() || !isNameStart(s.front())) {
        return false;
    }
    for (char c : s) {
        if (!isNameChar(c)) {
            return false;
        }
    }
    return true;
}

// NAME=VALUE split at the first '='; an empty name or one with other characters is refused.
bool splitAssignment(std::string_view word, std::string& name, std::string& value) {
    const auto eq = word.find('=');
    if (eq == std::string_view::npos || !isName(word.substr(0, eq))) {
        return false;
    }
    name = std::string(word.substr(0, eq));
    value = std::string(word.substr(eq + 1));
    return true;
}

}  // namespace

Parsed<std::vector<UnitEntry>> parseUnitFile(std::string_view text) {
    Parsed<std::vector<UnitEntry>> out;
    std::string section;
    std::string pending;  // a continued line collected so far
    for (std::string_view raw : lines(text)) {
        std::string_view line = trim(raw);
        if (pending.empty() && (line.empty() || line.front() == '#' || line.front() == ';')) {
            continue;
        }
        if (!line.empty() && line.back() == '\\') {
            pending += std::string(line.substr(0, line.size() - 1)) + " ";
            continue;
        }
        std::string whole = pending + std::string(line);
        pending.clear();
        if (whole.front() == '[') {
            if (whole.back() != ']') {
                out.error = "section line without ']': " + whole;
                return out;
            }
            section = whole.substr(1, whole.size() - 2);
            continue;
        }
        const auto eq = whole.find('=');
        if (eq == std::string::npos || section.empty()) {
            out.error = "not a key in a section: " + whole;
            return out;
        }
        out.value.push_back({section, std::string(trim(std::string_view(whole).substr(0, eq))),
                             std::string(trim(std::string_view(whole).substr(eq + 1)))});
    }
    if (!pending.empty()) {
        out.error = "the last line is continued: " + pending;
    }
    return out;
}

std::vector<std::string> unitValues(const std::vector<UnitEntry>& entries, std::string_view section,
                                    std::string_view key) {
    std::vector<std::string> out;
    for (const UnitEntry& e : entries) {
        if (e.section == section && e.key == key) {
            out.push_back(e.value);
        }
    }
    return out;
}

Parsed<std::string> expandSpecifiers(std::string_view value, std::string_view home) {
    Parsed<std::string> out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            out.value += value[i];
            continue;
        }
        const char specifier = i + 1 < value.size() ? value[i + 1] : '\0';
        if (specifier == 'h') {
            out.value += home;
        } else if (specifier == '%') {
            out.value += '%';
        } else {
            out.error = std::string("specifier not emulated: %") + specifier;
            return out;
        }
        ++i;
    }
    return out;
}

Parsed<std::vector<std::string>> splitWords(std::string_view line) {
    Parsed<std::vector<std::string>> out;
    std::string word;
    bool inWord = false;
    char quote = '\0';
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote == '\0' && kBlank.find(c) != std::string_view::npos) {
            if (inWord) {
                out.value.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 == line.size()) {
                out.error = "a backslash ends the line";
                return out;
            }
            const char e = line[++i];
            switch (e) {
                case 'n':
                    word += '\n';
                    break;
                case 't':
                    word += '\t';
                    break;
                case 's':
                    word += ' ';
                    break;
                case '\\':
                case '"':
                case '\'':
                case ' ':
                    word += e;
                    break;
                default:
                    out.error = std::string("escape not emulated: \\") + e;
                    return out;
            }
        } else if (quote != '\0' && c == quote) {
            quote = '\0';
        } else if (quote == '\0' && (c == '"' || c == '\'')) {
            quote = c;
        } else {
            word += c;
        }
    }
    if (quote != '\0') {
        out.error = std::string("unterminated quote ") + quote;
        return out;
    }
    if (inWord) {
        out.value.push_back(word);
    }
    return out;
}

Parsed<Environment> environmentAssignments(std::string_view value) {
    Parsed<Environment> out;
    const auto words = splitWords(value);
    if (!words.ok()) {
        out.error = words.error;
        return out;
    }
    for (const std::string& word : words.value) {
        std::string name;
        std::string val;
        if (!splitAssignment(word, name, val)) {
            out.error = "not an assignment: " + word;
            return out;
        }
        out.value[name] = val;
    }
    return out;
}

Parsed<Environment> parseEnvironmentFile(std::string_view text) {
    Parsed<Environment> out;
    for (std::string_view raw : lines(text)) {
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        const auto eq = line.find('=');
        const std::string_view name =
            eq == std::string_view::npos ? line : trim(line.substr(0, eq));
        if (eq == std::string_view::npos || !isName(name)) {
            out.error = "not an assignment: " + std::string(line);
            return out;
        }
        std::string_view v = trim(line.substr(eq + 1));
        std::string value;
        if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') {
            value = std::string(v.substr(1, v.size() - 2));
        } else if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
            v = v.substr(1, v.size() - 2);
            for (std::size_t i = 0; i < v.size(); ++i) {
                if (v[i] == '\\' && i + 1 < v.size() &&
                    std::string_view("\"\\$`").find(v[i + 1]) != std::string_view::npos) {
                    ++i;
                } else if (v[i] == '"') {
                    out.error = "a quote inside a quoted value: " + std::string(line);
                    return out;
                }
                value += v[i];
            }
        } else if (v.find_first_of("\"'\\") != std::string_view::npos) {
            out.error = "quoting not emulated: " + std::string(line);
            return out;
        } else {
            value = std::string(v);
        }
        out.value[std::string(name)] = value;
    }
    return out;
}

Parsed<std::vector<std::string>> expandCommandLine(std::string_view line, const Environment& env) {
    Parsed<std::vector<std::string>> out;
    const auto words = splitWords(line);
    if (!words.ok()) {
        out.error = words.error;
        return out;
    }
    const auto lookup = [&env](std::string_view name) {
        const auto it = env.find(std::string(name));
        return it == env.end() ? std::string() : it->second;
    };
    for (const std::string& word : words.value) {
        if (word.size() > 1 && word[0] == '$' && isName(std::string_view(word).substr(1))) {
            const auto parts = splitWords(lookup(std::string_view(word).substr(1)));
            if (!parts.ok()) {
                out.error = parts.error;
                return out;
            }
            out.value.insert(out.value.end(), parts.value.begin(), parts.value.end());
            continue;
        }
        std::string expanded;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '$') {
                expanded += word[i];
            } else if (i + 1 < word.size() && word[i + 1] == '$') {
                expanded += '$';
                ++i;
            } else if (i + 1 < word.size() && word[i + 1] == '{') {
                const auto close = word.find('}', i + 2);
                if (close == std::string::npos || !isName(word.substr(i + 2, close - i - 2))) {
                    out.error = "malformed ${...} in " + word;
                    return out;
                }
                expanded += lookup(word.substr(i + 2, close - i - 2));
                i = close;
            } else {
                out.error = "a $ inside a word is not expanded by systemd: " + word;
                return out;
            }
        }
        out.value.push_back(expanded);
    }
    return out;
}

Parsed<ServiceCommand> serviceCommand(std::string_view unitText, std::string_view home,
                                      const Environment& base) {
    Parsed<ServiceCommand> out;
    const auto unit = parseUnitFile(unitText);
    if (!unit.ok()) {
        out.error = unit.error;
        return out;
    }
    out.value.environment = base;
    for (const std::string& value : unitValues(unit.value, "Service", "Environment")) {
        const auto expanded = expandSpecifiers(value, home);
        const auto assigned =
            expanded.ok() ? environmentAssignments(expanded.value) : Parsed<Environment>{};
        if (!expanded.ok() || !assigned.ok()) {
            out.error = "Environment=" + value + ": " + expanded.error + assigned.error;
            return out;
        }
        for (const auto& [name, val] : assigned.value) {
            out.value.environment[name] = val;
        }
    }
    for (const std::string& value : unitValues(unit.value, "Service", "EnvironmentFile")) {
        const auto expanded = expandSpecifiers(value, home);
        if (!expanded.ok()) {
            out.error = "EnvironmentFile=" + value + ": " + expanded.error;
            return out;
        }
        const bool optional = expanded.value.starts_with("-");
        const std::string path = optional ? expanded.value.substr(1) : expanded.value;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            if (optional) {
                continue;
            }
            out.error = "EnvironmentFile= missing: " + path;
            return out;
        }
        std::ostringstream text;
        text << in.rdbuf();
        const auto file = parseEnvironmentFile(text.str());
        if (!file.ok()) {
            out.error = path + ": " + file.error;
            return out;
        }
        for (const auto& [name, val] : file.value) {
            out.value.environment[name] = val;
        }
    }
    const auto exec = unitValues(unit.value, "Service", "ExecStart");
    if (exec.size() != 1) {
        out.error = "expected one ExecStart=, found " + std::to_string(exec.size());
        return out;
    }
    if (!exec.front().empty() &&
        std::string_view("-@+!:").find(exec.front().front()) != std::string_view::npos) {
        out.error = "ExecStart= prefixes are not emulated: " + exec.front();
        return out;
    }
    const auto expanded = expandSpecifiers(exec.front(), home);
    if (!expanded.ok()) {
        out.error = "ExecStart=: " + expanded.error;
        return out;
    }
    const auto argv = expandCommandLine(expanded.value, out.value.environment);
    if (!argv.ok()) {
        out.error = "ExecStart=: " + argv.error;
        return out;
    }
    out.value.argv = argv.value;
    return out;
}

}  // namespace jilan::packaging
