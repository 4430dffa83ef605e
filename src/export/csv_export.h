#pragma once

#include <string>
#include <string_view>

#include "export/table_writer.h"

namespace jilan::exporting {

// One cell as spreadsheets read it safely: a text starting with = + - @ tab or CR gets a
// leading ' so it is never taken for a formula; then quoted by RFC 4180 when it holds a
// comma, a quote, CR or LF (quotes doubled).
std::string csvField(std::string_view cell);

// The row's exported cells joined by commas, ending in CR LF.
std::string csvLine(const DomainRow& row);

// UTF-8 with a byte-order mark, CR LF, the fixed header; rows streamed to the file.
class CsvWriter : public TableWriter {
public:
    io::WriteStatus open(const std::string& path);
    io::WriteStatus add(const DomainRow& row) override;
    io::WriteStatus commit() override { return file_.commit(); }

private:
    io::FileWriter file_;
    std::string line_;
};

}  // namespace jilan::exporting
