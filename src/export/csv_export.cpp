#include "export/csv_export.h"

namespace jilan::exporting {

std::string csvField(std::string_view cell) {
    std::string text;
    if (!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@' ||
                          cell[0] == '\t' || cell[0] == '\r')) {
        text += '\'';
    }
    text += cell;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string csvLine(const DomainRow& row) {
    std::string line;
    for (std::size_t i = 0; i < kExportColumns.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        line += csvField(row[kExportColumns[i]]);
    }
    line += "\r\n";
    return line;
}

io::WriteStatus CsvWriter::open(const std::string& path) {
    if (io::WriteStatus failed = file_.open(path)) {
        return failed;
    }
    std::string header = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < kExportColumns.size(); ++i) {
        header += i > 0 ? "," : "";
        header += captionOf(kExportColumns[i]);
    }
    header += "\r\n";
    return file_.write(header);
}

io::WriteStatus CsvWriter::add(const DomainRow& row) {
    return file_.write(csvLine(row));
}

}  // namespace jilan::exporting
