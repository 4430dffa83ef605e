#pragma once

#include <memory>
#include <string>

#include "export/domain_table.h"
#include "io/durable_writer.h"

namespace jilan::exporting {

// A table written row by row; nothing is reported as saved before commit() answers empty.
// Dropping a writer without commit() leaves the target as it was (on the atomic route).
class TableWriter {
public:
    virtual ~TableWriter() = default;
    virtual io::WriteStatus add(const DomainRow& row) = 0;
    virtual io::WriteStatus commit() = 0;
};

struct XlsxOptions {
    // Rows go to a temporary file as they come instead of staying in memory; strings are
    // then written inline in each cell rather than through the shared string table.
    bool constantMemory = false;
    // Where the workbook is built before it is committed; empty for $TMPDIR or /tmp.
    std::string workFolder{};
};

// Above this many rows a workbook is built in constant memory.
inline constexpr std::size_t kConstantMemoryRows = 50'000;

// The workbook options for a table of about `rows` rows.
inline XlsxOptions xlsxOptionsFor(std::size_t rows) {
    return XlsxOptions{.constantMemory = rows > kConstantMemoryRows};
}

struct OpenedTable {
    std::unique_ptr<TableWriter> writer;  // set when `failure` is empty
    io::WriteStatus failure;
};

// Opens the writer of `format` on `path` (the target is opened at once, so a file that
// cannot be written is reported before any row is made).
OpenedTable openTable(Format format, const std::string& path, const XlsxOptions& xlsx = {});

}  // namespace jilan::exporting
