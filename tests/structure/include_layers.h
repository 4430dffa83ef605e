#pragma once

// Reads the quoted #include lines of the source tree and checks each link between
// folders against the layer table: lower layers never include higher ones, the core
// below src/ui includes no Qt header, and the market simulator (the tests' independent
// oracle) includes nothing from src/.

#include <string>
#include <vector>

namespace jilan::structure {

struct SourceFile {
    std::string path;  // relative to the project root, e.g. "src/harvest/harvester.cpp"
    std::string text;
};

struct Violation {
    std::string where;  // "src/net/x.cpp:12"
    std::string link;   // "net -> app (app/form1.h)"
};

// Every forbidden link in `files`, in file order then line order.
std::vector<Violation> checkIncludeLayers(const std::vector<SourceFile>& files);

// Every .h/.cpp/.inc file under src/ and tools/market-sim/ of the tree at `root`.
std::vector<SourceFile> readSourceTree(const std::string& root);

std::string describe(const Violation& violation);

}  // namespace jilan::structure
