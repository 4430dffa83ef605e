#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/table_writer.h"

namespace jilan::exporting {

// One entry as a line of a text export: UTF-8, CR LF. CR, LF, the other control characters
// and the Unicode line and paragraph separators become spaces, so that every entry stays one
// line and the file's line count is the list's count.
std::string txtLine(std::string_view entry);

// One domain per line (the row's 域名 column).
class TxtWriter : public TableWriter {
public:
    io::WriteStatus open(const std::string& path);
    io::WriteStatus addEntry(std::string_view entry);
    io::WriteStatus add(const DomainRow& row) override { return addEntry(row.domain()); }
    io::WriteStatus commit() override { return file_.commit(); }

private:
    io::FileWriter file_;
};

// The list export in one call: every entry as a line.
io::WriteStatus writeTxtList(const std::string& path, const std::vector<std::string>& entries);

}  // namespace jilan::exporting
