#pragma once

#include <array>
#include <string>

#include "export/table_writer.h"
#include "io/unique_fd.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace jilan::exporting {

// The table as a workbook: sheet "域名" with a bold, frozen header row, an autofilter and
// each cell written by its column's shape (a number, an amount with its currency format, a
// date and time with its format; text, and what does not read as its shape, as a string); sheet
// "失败" (name and reason) when any row carries a failure reason. Column widths are computed here,
// wide characters counting two. The workbook is built in a private temporary folder and then copied
// to the target through the durable writer; every libxlsxwriter error comes back as a value (errnum
// 0, the library's message in `detail`).
class XlsxWriter : public TableWriter {
public:
    explicit XlsxWriter(XlsxOptions options = {});
    ~XlsxWriter() override;
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    io::WriteStatus open(const std::string& path);
    io::WriteStatus add(const DomainRow& row) override;
    io::WriteStatus commit() override;

private:
    struct Sheet {
        lxw_worksheet* sheet = nullptr;
        std::size_t rows = 0;  // written below the header
        std::array<std::size_t, kExportColumns.size()> widths{};
    };
    io::WriteStatus startSheet(Sheet& sheet, const char* name, const std::string_view* header,
                               std::size_t columns);
    io::WriteStatus writeCell(Sheet& sheet, std::size_t column, const std::string& text,
                              lxw_format* format = nullptr);
    // A cell of the 域名 sheet, written as its column's shape says.
    io::WriteStatus writeShaped(std::size_t column, const std::string& text);
    io::WriteStatus numberWritten(int error);
    io::WriteStatus finishSheet(Sheet& sheet, std::size_t columns);
    io::WriteStatus libraryFailure(int error, const std::string& step);
    void removeWorkFolder();
    io::WriteStatus build();

    XlsxOptions options_;
    std::string path_;
    std::string folder_;  // the private work folder, removed with everything in it
    std::string book_;
    // The workbook as an anonymous file (O_TMPFILE), which the library writes through its
    // /proc name: nothing of it is left when the process is killed. -1 where the file system
    // has none; the work folder holds the book then.
    io::UniqueFd bookFile_;
    io::FileWriter target_;
    lxw_workbook* workbook_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* yuan_ = nullptr;
    lxw_format* dollar_ = nullptr;
    std::array<lxw_format*, 3> times_{};  // by DateTime::Precision
    Sheet domains_;
    Sheet failures_;
    io::WriteStatus failed_;
};

}  // namespace jilan::exporting
