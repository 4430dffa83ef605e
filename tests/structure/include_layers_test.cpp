#include "include_layers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace jilan::structure {
namespace {

struct LayerCase {
    const char* rule;
    std::vector<SourceFile> files;
    std::vector<std::string> expected;  // describe() of each violation, in order
};

const std::vector<LayerCase> kCases = {
    {"WorkerMayIncludeTheWindowModel",
     {{"src/harvest/harvester.h", "#include \"app/form1.h\"\n#include \"net/page_fetcher.h\"\n"}},
     {}},
    {"SiblingIncludeStaysInItsFolder",
     {{"src/app/form1.h", "#include \"controls.h\"\n"}, {"src/app/controls.h", ""}},
     {}},
    {"WindowModelMayNotIncludeAWorker",
     {{"src/app/form1.cpp", "// model\n#include \"form1.h\"\n#include \"harvest/harvester.h\"\n"}},
     {"src/app/form1.cpp:3: forbidden include app -> harvest (harvest/harvester.h)"}},
    {"NetIncludesNothingElse",
     {{"src/net/page_fetcher.cpp", "  #  include \"config/urls.h\"\n"}},
     {"src/net/page_fetcher.cpp:1: forbidden include net -> config (config/urls.h)"}},
    {"WorkerMayNotIncludeAnotherWorker",
     {{"src/harvest/h.cpp", "#include \"query/query_commands.h\"\n"}},
     {"src/harvest/h.cpp:1: forbidden include harvest -> query (query/query_commands.h)"}},
    {"ExportMayIncludeQuery",
     {{"src/export/table.cpp", "#include \"query/detail_parser.h\"\n#include \"io/x.h\"\n"}},
     {}},
    {"ProgramMayNotIncludeTheView",
     {{"src/program/application.cpp", "#include \"ui/main_window.h\"\n"}},
     {"src/program/application.cpp:1: forbidden include program -> ui (ui/main_window.h)"}},
    {"ViewMayIncludeEverything",
     {{"src/ui/main.cpp", "#include \"cli/run.h\"\n#include <QApplication>\n"}},
     {}},
    {"CommandLineRunsTheProgramButNotTheView",
     {{"src/cli/run.cpp",
       "#include \"program/application.h\"\n#include \"details/detail_service.h\"\n"
       "#include \"ui/main_window.h\"\n#include <QString>\n"}},
     {"src/cli/run.cpp:3: forbidden include cli -> ui (ui/main_window.h)",
      "src/cli/run.cpp:4: forbidden include cli -> Qt (#include <QString>)"}},
    {"CoreIncludesNoQtHeader",
     {{"src/query/q.cpp", "#include <string>\n#include <QString>\n"}},
     {"src/query/q.cpp:2: forbidden include query -> Qt (#include <QString>)"}},
    {"RelativePathOutOfTheFolderIsALinkToo",
     {{"src/config/urls.cpp", "#include \"../app/form1.h\"\n"}},
     {"src/config/urls.cpp:1: forbidden include config -> app (../app/form1.h)"}},
    {"SimulatorIncludesNothingFromSrc",
     {{"tools/market-sim/routes.cpp", "#include \"routes.h\"\n#include \"net/text_decoding.h\"\n"},
      {"tools/market-sim/routes.h", ""}},
     {"tools/market-sim/routes.cpp:2: forbidden include market-sim -> net (net/text_decoding.h)"}},
    {"EveryFolderMayIncludeBase",
     {{"src/config/urls.cpp", "#include \"base/ascii_case.h\"\n"},
      {"src/history/reader.cpp", "#include \"base/name_key.h\"\n"},
      {"src/app/form1.cpp", "#include \"base/utf8.h\"\n"},
      {"src/program/run.cpp", "#include \"base/utf8.h\"\n"}},
     {}},
    {"BaseIncludesNothingOfSrc",
     {{"src/base/utf8.cpp", "#include \"base/utf8.h\"\n#include \"config/urls.h\"\n"}},
     {"src/base/utf8.cpp:2: forbidden include base -> config (config/urls.h)"}},
    {"FolderMissingFromTheTableIsRefused",
     {{"src/extra/x.cpp", "#include \"config/urls.h\"\n"}},
     {"src/extra/x.cpp:1: forbidden include extra -> config (config/urls.h)"}},
    {"AngleIncludesAndCommentsAreNotLinks",
     {{"src/io/w.cpp", "#include <app/form1.h>\n// #include \"app/form1.h\" is not wanted here\n"}},
     {}},
};

void PrintTo(const LayerCase& c, std::ostream* os) {
    *os << c.rule;
}

class IncludeLayers : public ::testing::TestWithParam<LayerCase> {};

TEST_P(IncludeLayers, ReportsExactlyTheForbiddenLinks) {
    std::vector<std::string> got;
    for (const Violation& v : checkIncludeLayers(GetParam().files)) {
        got.push_back(describe(v));
    }
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, IncludeLayers, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.rule); });

// The tree itself: every link points down the layer table.
TEST(SourceTree, EveryIncludeFollowsTheLayerTable) {
    const std::vector<SourceFile> files = readSourceTree(JILAN_SOURCE_DIR);
    ASSERT_GT(files.size(), 20u) << "source tree not found under " << JILAN_SOURCE_DIR;
    for (const Violation& v : checkIncludeLayers(files)) {
        ADD_FAILURE() << describe(v);
    }
}

}  // namespace
}  // namespace jilan::structure
