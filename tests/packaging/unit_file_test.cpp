// The systemd rules the daily-run test relies on: if the reading of ExecStart= is wrong, that
// test proves nothing about what the user's service manager runs.
#include "unit_file.h"

#include <gtest/gtest.h>

namespace jilan::packaging {
namespace {

struct CommandCase {
    const char* rule;
    const char* line;
    Environment env;
    std::vector<std::string> argv;
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.rule;
}

class CommandLineTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandLineTest, ExpandsAsTheServiceManagerDoes) {
    const CommandCase& c = GetParam();
    const auto argv = expandCommandLine(c.line, c.env);
    ASSERT_TRUE(argv.ok()) << argv.error;
    EXPECT_EQ(argv.value, c.argv);
}

const CommandCase kCommandCases[] = {
    {"QuotedBracedVariableWithSpacesStaysOneArgument",
     R"(prog --filter "${F}")",
     {{"F", "len<=5 !has=4"}},
     {"prog", "--filter", "len<=5 !has=4"}},
    {"UnquotedBracedVariableIsStillOneArgument", "prog ${F}", {{"F", "a b"}}, {"prog", "a b"}},
    {"BareVariableSplitsAtBlanks",
     "prog $O",
     {{"O", "--details  --pause-ms 500"}},
     {"prog", "--details", "--pause-ms", "500"}},
    {"UnsetBareVariableGivesNoArgument", "prog $O end", {}, {"prog", "end"}},
    {"BlankBareVariableGivesNoArgument", "prog $O end", {{"O", ""}}, {"prog", "end"}},
    {"UnsetBracedVariableGivesAnEmptyArgument", R"(prog "${X}")", {}, {"prog", ""}},
    {"BracedVariableInsideAWord", "prog --out=${D}/x", {{"D", "/d"}}, {"prog", "--out=/d/x"}},
    {"DoubleDollarIsOneDollar", "prog a$$b", {}, {"prog", "a$b"}},
    {"SingleQuotesKeepBlanksAndDollars", "prog 'a ${X} b'", {{"X", "y"}}, {"prog", "a y b"}},
    {"EscapedBlankJoinsAWord", R"(prog a\ b "c\"d")", {}, {"prog", "a b", "c\"d"}},
};

INSTANTIATE_TEST_SUITE_P(Rules, CommandLineTest, ::testing::ValuesIn(kCommandCases),
                         [](const auto& info) { return std::string(info.param.rule); });

struct EnvFileCase {
    const char* rule;
    const char* text;
    Environment env;
};

void PrintTo(const EnvFileCase& c, std::ostream* os) {
    *os << c.rule;
}

class EnvironmentFileTest : public ::testing::TestWithParam<EnvFileCase> {};

TEST_P(EnvironmentFileTest, ReadsAsTheServiceManagerDoes) {
    const auto env = parseEnvironmentFile(GetParam().text);
    ASSERT_TRUE(env.ok()) << env.error;
    EXPECT_EQ(env.value, GetParam().env);
}

const EnvFileCase kEnvFileCases[] = {
    {"DoubleQuotesGoAndBlanksStay", "F=\"len<=5 !has=4\"\n", {{"F", "len<=5 !has=4"}}},
    {"SingleQuotesGo", "F='a b'\n", {{"F", "a b"}}},
    {"UnquotedValueIsTrimmed", "  P =  20  \n", {{"P", "20"}}},
    {"CommentsAndBlankLinesAreSkipped", "# x=1\n; y=2\n\nZ=3\n", {{"Z", "3"}}},
    {"LaterAssignmentWins", "A=1\nA=\"2\"\n", {{"A", "2"}}},
    {"UnicodeValueUntouched",
     "O=\"/home/u/域名/{date}-new.csv\"",
     {{"O", "/home/u/域名/{date}-new.csv"}}},
};

INSTANTIATE_TEST_SUITE_P(Rules, EnvironmentFileTest, ::testing::ValuesIn(kEnvFileCases),
                         [](const auto& info) { return std::string(info.param.rule); });

struct RefusalCase {
    const char* rule;
    Parsed<std::string> (*attempt)();
};

// Inputs outside the emulated subset must be refused, never read some plausible other way.
const RefusalCase kRefusals[] = {
    {"UnknownSpecifier", [] { return expandSpecifiers("%u/x", "/home/u"); }},
    {"UnterminatedQuote",
     [] {
         const auto r = splitWords("prog \"a b");
         return Parsed<std::string>{{}, r.error};
     }},
    {"DollarInsideAWord",
     [] {
         const auto r = expandCommandLine("prog a$B", {});
         return Parsed<std::string>{{}, r.error};
     }},
    {"EnvironmentWordWithoutName",
     [] {
         const auto r = environmentAssignments("=x");
         return Parsed<std::string>{{}, r.error};
     }},
    {"EnvironmentFileLineWithoutAssignment",
     [] {
         const auto r = parseEnvironmentFile("export\n");
         return Parsed<std::string>{{}, r.error};
     }},
};

TEST(UnitFileRefusals, EveryInputOutsideTheSubsetIsAnError) {
    for (const RefusalCase& c : kRefusals) {
        EXPECT_FALSE(c.attempt().ok()) << c.rule;
    }
}

TEST(UnitFileSpecifiers, HomeAndPercentExpand) {
    const auto v = expandSpecifiers("%h/域名/{date}-100%%.csv", "/home/u");
    ASSERT_TRUE(v.ok()) << v.error;
    EXPECT_EQ(v.value, "/home/u/域名/{date}-100%.csv");
}

}  // namespace
}  // namespace jilan::packaging
