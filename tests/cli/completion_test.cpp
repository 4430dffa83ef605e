// The shell completion files the build wrote, against the options --help lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every spelling of every option in the help's option column (-h, --help, --help-all...).
std::vector<std::string> helpOptions(const std::string& help) {
    std::vector<std::string> names;
    std::istringstream lines(help);
    std::string line;
    const std::regex option("--?[a-z][a-z-]*");
    while (std::getline(lines, line)) {
        if (!line.starts_with("  -")) {
            continue;
        }
        const std::string column = line.substr(0, line.find("  ", 2));
        for (std::sregex_iterator it(column.begin(), column.end(), option), end; it != end; ++it) {
            names.push_back(it->str());
        }
    }
    return names;
}

TEST(CompletionTest, BothShellsOfferEveryOptionTheHelpLists) {
    const std::string help = jilan::cli::helpText("jilan-harvester-cli");
    const std::vector<std::string> options = helpOptions(help);
    ASSERT_GT(options.size(), 20u);
    const std::string bash = fileText(JILAN_BASH_COMPLETION);
    const std::string zsh = fileText(JILAN_ZSH_COMPLETION);
    // bash offers the options as one word list; zsh has one entry per spelling.
    const std::size_t listStart = bash.find("compgen -W \"--");
    ASSERT_NE(listStart, std::string::npos) << bash;
    const std::string list =
        " " + bash.substr(listStart + 12, bash.find('"', listStart + 12) - listStart - 12) + " ";
    for (const std::string& name : options) {
        EXPECT_NE(list.find(" " + name + " "), std::string::npos) << "bash lacks " << name;
        const bool inZsh = zsh.find("'" + name + "[") != std::string::npos ||
                           zsh.find("'" + name + "=[") != std::string::npos;
        EXPECT_TRUE(inZsh) << "zsh lacks " << name;
    }
    // The fixed values of --format, as the help names them.
    std::smatch formats;
    ASSERT_TRUE(std::regex_search(help, formats, std::regex("--format <([a-z|]+)>")));
    ASSERT_EQ(formats.size(), 2u);
    std::string words = formats[1].str();
    std::replace(words.begin(), words.end(), '|', ' ');
    EXPECT_NE(bash.find("compgen -W \"" + words + "\""), std::string::npos) << words;
    EXPECT_NE(zsh.find(":format:(" + words + ")"), std::string::npos) << words;
}

}  // namespace
