#include "export/text_export.h"

namespace jilan::exporting {

std::string txtLine(std::string_view entry) {
    std::string out;
    out.reserve(entry.size() + 2);
    for (std::size_t i = 0; i < entry.size(); ++i) {
        const auto c = static_cast<unsigned char>(entry[i]);
        if (c < 0x20 || c == 0x7F) {
            out += ' ';
        } else if (c == 0xC2 && i + 1 < entry.size() &&
                   static_cast<unsigned char>(entry[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(entry[i + 1]) <= 0x9F) {
            out += ' ';  // a C1 control (U+0080..U+009F), NEL among them
            ++i;
        } else if (c == 0xE2 && i + 2 < entry.size() && entry[i + 1] == '\x80' &&
                   (entry[i + 2] == '\xA8' || entry[i + 2] == '\xA9')) {
            out += ' ';  // U+2028, U+2029: editors break lines there
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += "\r\n";
    return out;
}

io::WriteStatus TxtWriter::open(const std::string& path) {
    return file_.open(path);
}

io::WriteStatus TxtWriter::addEntry(std::string_view entry) {
    return file_.write(txtLine(entry));
}

io::WriteStatus writeTxtList(const std::string& path, const std::vector<std::string>& entries) {
    TxtWriter writer;
    if (io::WriteStatus failed = writer.open(path)) {
        return failed;
    }
    for (const std::string& entry : entries) {
        if (io::WriteStatus failed = writer.addEntry(entry)) {
            return failed;
        }
    }
    return writer.commit();
}

}  // namespace jilan::exporting
