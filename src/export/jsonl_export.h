#pragma once

#include <string>

#include "export/table_writer.h"

namespace jilan::exporting {

// One JSON object of the row's exported cells, under the columns' ASCII keys (columns.h), as a
// line ending in LF: numbers as numbers, times as ISO 8601 with their offset, an empty cell as
// null.
std::string jsonLine(const DomainRow& row);

// JSON Lines (--format jsonl): one object per name, UTF-8 without a byte-order mark, rows
// streamed to the file; no header, the keys name the columns.
class JsonlWriter : public TableWriter {
public:
    io::WriteStatus open(const std::string& path) { return file_.open(path); }
    io::WriteStatus add(const DomainRow& row) override { return file_.write(jsonLine(row)); }
    io::WriteStatus commit() override { return file_.commit(); }

private:
    io::FileWriter file_;
};

}  // namespace jilan::exporting
