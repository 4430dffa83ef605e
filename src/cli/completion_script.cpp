#include "completion_script.h"

#include <string_view>
#include <vector>

#include "command_line.h"
#include "filter/filter_expr.h"

namespace jilan::cli {

namespace {

constexpr std::string_view kPrograms = "jilan-harvester-cli jilan-harvester";

// What follows an option on the command line, as far as completion can help with it.
enum class ValueKind { None, Choices, File, FilterWords, Other };

ValueKind valueKind(const OptionSpec& entry) {
    if (entry.valueName.empty()) {
        return ValueKind::None;
    }
    if (entry.names.front() == "filter") {
        return ValueKind::FilterWords;
    }
    if (entry.valueName.find('|') != std::string_view::npos) {
        return ValueKind::Choices;
    }
    if (entry.valueName == "file" || entry.valueName == "list") {
        return ValueKind::File;
    }
    return ValueKind::Other;
}

// "txt|csv|xlsx" as "txt csv xlsx".
std::string choices(std::string_view valueName) {
    std::string words(valueName);
    for (char& c : words) {
        c = c == '|' ? ' ' : c;
    }
    return words;
}

std::vector<std::string> spellings(const OptionSpec& entry) {
    std::vector<std::string> all;
    for (const std::string_view name : entry.names) {
        all.push_back("--" + std::string(name));
    }
    if (!entry.shortName.empty()) {
        all.push_back("-" + std::string(entry.shortName));
    }
    return all;
}

std::string joined(const std::vector<std::string>& words, std::string_view between) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : std::string(between)) + word;
    }
    return text;
}

// The filter's words, separated by spaces; each in single quotes for zsh ("score>=").
std::string filterWordList(bool quoted) {
    std::vector<std::string> words = filter::filterWords();
    if (quoted) {
        for (std::string& word : words) {
            word = "'" + word + "'";
        }
    }
    return joined(words, " ");
}

// The first sentence of a description, made safe inside '...[text]' of zsh's _arguments.
std::string zshDescription(const std::string& description) {
    std::string text = description.substr(0, description.find("。"));
    std::string safe;
    for (const char c : text) {
        if (c == '\'') {
            safe += "'\\''";
        } else {
            if (c == '[' || c == ']' || c == ':' || c == '\\') {
                safe += '\\';
            }
            safe += c;
        }
    }
    return safe;
}

}  // namespace

std::string bashCompletion() {
    std::vector<std::string> options;
    std::vector<std::string> fileOptions;
    std::vector<std::string> otherValueOptions;
    std::string choiceCases;
    std::string filterOptions;
    for (const OptionSpec& entry : optionTable()) {
        const std::vector<std::string> names = spellings(entry);
        options.insert(options.end(), names.begin(), names.end());
        const std::string pattern = joined(names, "|");
        switch (valueKind(entry)) {
            case ValueKind::Choices:
                choiceCases += "        " + pattern + ")\n            COMPREPLY=($(compgen -W \"" +
                               choices(entry.valueName) +
                               "\" -- \"$cur\"))\n            return ;;\n";
                break;
            case ValueKind::File:
                fileOptions.insert(fileOptions.end(), names.begin(), names.end());
                break;
            case ValueKind::FilterWords:
                filterOptions = pattern;
                break;
            case ValueKind::Other:
                otherValueOptions.insert(otherValueOptions.end(), names.begin(), names.end());
                break;
            case ValueKind::None:
                break;
        }
    }
    std::string text =
        "# bash completion for " + std::string(kPrograms) +
        " -*- shell-script -*-\n"
        "# Generated from the programs' option table when they were built.\n\n"
        "_jilan_harvester() {\n"
        "    COMPREPLY=()\n"
        "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"\"\n"
        "    ((COMP_CWORD > 0)) && prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
        "    # --name=value: bash splits at \"=\", the option is one word further back.\n"
        "    if [[ $prev == \"=\" && COMP_CWORD -gt 1 ]]; then\n"
        "        prev=\"${COMP_WORDS[COMP_CWORD-2]}\"\n"
        "    elif [[ $cur == \"=\" ]]; then\n"
        "        prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
        "        cur=\"\"\n"
        "    fi\n"
        "    case \"$prev\" in\n" +
        choiceCases;
    if (!fileOptions.empty()) {
        text += "        " + joined(fileOptions, "|") +
                ")\n            compopt -o filenames 2>/dev/null\n"
                "            COMPREPLY=($(compgen -f -- \"$cur\"))\n            return ;;\n";
    }
    if (!filterOptions.empty()) {
        text += "        " + filterOptions +
                ")\n            # The expression's last term; the earlier ones stay as typed.\n"
                "            local head=\"\" last=\"$cur\"\n"
                "            [[ $cur == *\" \"* ]] && head=\"${cur% *} \" && last=\"${cur##* }\"\n"
                "            local word\n"
                "            for word in $(compgen -W \"" +
                filterWordList(false) +
                "\" -- \"$last\"); do\n"
                "                COMPREPLY+=(\"$head$word\")\n"
                "            done\n"
                "            compopt -o nospace 2>/dev/null\n"
                "            return ;;\n";
    }
    if (!otherValueOptions.empty()) {
        text += "        " + joined(otherValueOptions, "|") + ")\n            return ;;\n";
    }
    text +=
        "    esac\n"
        "    if [[ $cur == -* ]]; then\n"
        "        COMPREPLY=($(compgen -W \"" +
        joined(options, " ") +
        "\" -- \"$cur\"))\n"
        "    fi\n"
        "} &&\n"
        "    complete -F _jilan_harvester " +
        std::string(kPrograms) + "\n";
    return text;
}

std::string zshCompletion() {
    std::string text = "#compdef " + std::string(kPrograms) +
                       "\n"
                       "# Generated from the programs' option table when they were built.\n\n"
                       "_jilan_harvester_filter() {\n"
                       "    local -a words\n"
                       "    words=(" +
                       filterWordList(true) +
                       ")\n"
                       "    compset -P '* '\n"
                       "    compadd -S '' -a words\n"
                       "}\n\n"
                       "_arguments -s \\\n";
    for (const OptionSpec& entry : optionTable()) {
        const std::string description = zshDescription(entry.description);
        std::string value;
        switch (valueKind(entry)) {
            case ValueKind::Choices:
                value =
                    ":" + std::string(entry.names.front()) + ":(" + choices(entry.valueName) + ")";
                break;
            case ValueKind::File:
                value = ":" + std::string(entry.valueName) + ":_files";
                break;
            case ValueKind::FilterWords:
                value = ":" + std::string(entry.valueName) + ":_jilan_harvester_filter";
                break;
            case ValueKind::Other:
                value = ":" + std::string(entry.valueName) + ": ";
                break;
            case ValueKind::None:
                break;
        }
        for (const std::string& name : spellings(entry)) {
            // A long option's value may follow in the same word after "=" or in the next word.
            const bool longWithValue = !value.empty() && name.starts_with("--");
            text += "    '" + name + (longWithValue ? "=" : "") + "[" + description + "]" + value +
                    "' \\\n";
        }
    }
    text += "    '*:domain: '\n";
    return text;
}

}  // namespace jilan::cli
