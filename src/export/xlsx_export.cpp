#include "export/xlsx_export.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "export/cell_values.h"

namespace jilan::exporting {

namespace {

constexpr auto kHeader = captionsOf(kExportColumns);
constexpr std::string_view kFailureHeader[] = {"域名", "原因"};
constexpr std::size_t kFailureColumns = 2;
// Spreadsheet programs stop at this many rows, the header included.
constexpr std::size_t kMaxRows = 1'048'576;
constexpr std::size_t kMaxWidth = 80;

}  // namespace

XlsxWriter::XlsxWriter(XlsxOptions options) : options_(std::move(options)) {}

XlsxWriter::~XlsxWriter() {
    if (workbook_ != nullptr) {
        lxw_workbook_free(workbook_);  // discards the unfinished workbook without writing it
    }
    removeWorkFolder();
}

void XlsxWriter::removeWorkFolder() {
    if (bookFile_) {
        bookFile_.reset();  // the shared temporary folder itself stays
        folder_.clear();
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }
}

io::WriteStatus XlsxWriter::libraryFailure(int error, const std::string& step) {
    io::WriteFailure f;
    f.path = path_;
    f.detail = step + ": " + lxw_strerror(static_cast<lxw_error>(error));
    failed_ = f;
    return failed_;
}

io::WriteStatus XlsxWriter::open(const std::string& path) {
    path_ = path;
    if ((failed_ = target_.open(path))) {
        return failed_;
    }
    std::string base = options_.workFolder;
    if (base.empty()) {
        const char* env = std::getenv("TMPDIR");
        base = env != nullptr && *env != '\0' ? env : "/tmp";
    }
    // The library's own temporary files are unlinked as soon as it creates them; only the
    // book has a name, and with O_TMPFILE not even that.
    bookFile_.reset(::open(base.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (bookFile_ && ::access("/proc/self/fd", X_OK) == 0) {
        folder_ = base;
        book_ = "/proc/self/fd/" + std::to_string(bookFile_.get());
    } else {
        bookFile_.reset();
        std::string templ = base + "/jilan-xlsx-XXXXXX";
        if (::mkdtemp(templ.data()) == nullptr) {
            failed_ = io::WriteFailure{errno, false, path, "work folder " + base};
            return failed_;
        }
        folder_ = templ;
        book_ = folder_ + "/book.xlsx";
    }
    lxw_workbook_options lxwOptions{};
    lxwOptions.constant_memory = options_.constantMemory ? LXW_TRUE : LXW_FALSE;
    lxwOptions.tmpdir = folder_.data();
    workbook_ = workbook_new_opt(book_.c_str(), &lxwOptions);
    if (workbook_ == nullptr) {
        return libraryFailure(LXW_ERROR_MEMORY_MALLOC_FAILED, "workbook_new");
    }
    bold_ = workbook_add_format(workbook_);
    if (bold_ == nullptr) {
        return libraryFailure(LXW_ERROR_MEMORY_MALLOC_FAILED, "workbook_add_format");
    }
    format_set_bold(bold_);
    yuan_ = workbook_add_format(workbook_);
    dollar_ = workbook_add_format(workbook_);
    constexpr std::array<const char*, 3> kTimeFormats = {"yyyy-mm-dd", "yyyy-mm-dd hh:mm",
                                                         "yyyy-mm-dd hh:mm:ss"};
    for (std::size_t i = 0; i < times_.size(); ++i) {
        times_[i] = workbook_add_format(workbook_);
        if (times_[i] == nullptr) {
            return libraryFailure(LXW_ERROR_MEMORY_MALLOC_FAILED, "workbook_add_format");
        }
        format_set_num_format(times_[i], kTimeFormats[i]);
    }
    if (yuan_ == nullptr || dollar_ == nullptr) {
        return libraryFailure(LXW_ERROR_MEMORY_MALLOC_FAILED, "workbook_add_format");
    }
    format_set_num_format(yuan_, "\xC2\xA5#,##0.00");
    format_set_num_format(dollar_, "$#,##0.00");
    return startSheet(domains_, "域名", kHeader.data(), kHeader.size());
}

io::WriteStatus XlsxWriter::startSheet(Sheet& sheet, const char* name,
                                       const std::string_view* header, std::size_t columns) {
    sheet.sheet = workbook_add_worksheet(workbook_, name);
    if (sheet.sheet == nullptr) {
        return libraryFailure(LXW_ERROR_PARAMETER_VALIDATION, "workbook_add_worksheet");
    }
    for (std::size_t c = 0; c < columns; ++c) {
        if (io::WriteStatus failed = writeCell(sheet, c, std::string(header[c]), bold_)) {
            return failed;
        }
    }
    worksheet_freeze_panes(sheet.sheet, 1, 0);
    return std::nullopt;
}

io::WriteStatus XlsxWriter::writeCell(Sheet& sheet, std::size_t column, const std::string& text,
                                      lxw_format* format) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string valid = validUtf8(text);
    sheet.widths[column] = std::max(sheet.widths[column], displayWidth(valid));
    const lxw_error error =
        worksheet_write_string(sheet.sheet, static_cast<lxw_row_t>(sheet.rows),
                               static_cast<lxw_col_t>(column), valid.c_str(), format);
    if (error != LXW_NO_ERROR) {
        return libraryFailure(error, "worksheet_write_string");
    }
    return std::nullopt;
}

io::WriteStatus XlsxWriter::numberWritten(int error) {
    if (error != LXW_NO_ERROR) {
        return libraryFailure(error, "worksheet_write_number");
    }
    return std::nullopt;
}

io::WriteStatus XlsxWriter::writeShaped(std::size_t column, const std::string& text) {
    const auto row = static_cast<lxw_row_t>(domains_.rows);
    const auto col = static_cast<lxw_col_t>(column);
    lxw_worksheet* sheet = domains_.sheet;
    // A number or time cell is as wide as its text; an amount as "¥1,280.00".
    const auto widen = [&](std::size_t width) {
        domains_.widths[column] = std::max(domains_.widths[column], width);
    };
    switch (specOf(kExportColumns[column]).shape) {
        case Shape::Text:
            break;
        case Shape::Number:
            if (const std::optional<double> value = plainNumber(text)) {
                widen(displayWidth(text));
                return numberWritten(worksheet_write_number(sheet, row, col, *value, nullptr));
            }
            break;
        case Shape::Money:
            if (const std::optional<Money> money = moneyOf(text)) {
                const std::string whole = std::to_string(static_cast<long long>(money->amount));
                widen(1 + whole.size() + (whole.size() - 1) / 3 + 3);
                lxw_format* format = money->currency == Currency::Dollar ? dollar_ : yuan_;
                return numberWritten(
                    worksheet_write_number(sheet, row, col, money->amount, format));
            }
            break;
        case Shape::Time:
            if (const std::optional<DateTime> at = dateTimeOf(text)) {
                widen(displayWidth(text));
                lxw_datetime value{at->year, at->month,  at->day,
                                   at->hour, at->minute, static_cast<double>(at->second)};
                return numberWritten(worksheet_write_datetime(
                    sheet, row, col, &value, times_[static_cast<std::size_t>(at->precision)]));
            }
            break;
    }
    return writeCell(domains_, column, text);
}

io::WriteStatus XlsxWriter::add(const DomainRow& row) {
    if (failed_ || workbook_ == nullptr) {
        return failed_ ? failed_ : libraryFailure(LXW_ERROR_NULL_PARAMETER_IGNORED, "add");
    }
    if (domains_.rows + 1 >= kMaxRows) {
        return libraryFailure(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE, "add");
    }
    ++domains_.rows;
    for (std::size_t c = 0; c < kExportColumns.size(); ++c) {
        if (io::WriteStatus failed = writeShaped(c, row[kExportColumns[c]])) {
            return failed;
        }
    }
    if (row.failure.empty()) {
        return std::nullopt;
    }
    if (failures_.sheet == nullptr) {
        if (io::WriteStatus failed =
                startSheet(failures_, "失败", kFailureHeader, kFailureColumns)) {
            return failed;
        }
    }
    ++failures_.rows;
    if (io::WriteStatus failed = writeCell(failures_, 0, row.domain())) {
        return failed;
    }
    return writeCell(failures_, 1, row.failure);
}

io::WriteStatus XlsxWriter::finishSheet(Sheet& sheet, std::size_t columns) {
    for (std::size_t c = 0; c < columns; ++c) {
        const double width = static_cast<double>(std::min(sheet.widths[c], kMaxWidth) + 2);
        const lxw_error error = worksheet_set_column(sheet.sheet, static_cast<lxw_col_t>(c),
                                                     static_cast<lxw_col_t>(c), width, nullptr);
        if (error != LXW_NO_ERROR) {
            return libraryFailure(error, "worksheet_set_column");
        }
    }
    const lxw_error error = worksheet_autofilter(
        sheet.sheet, 0, 0, static_cast<lxw_row_t>(sheet.rows), static_cast<lxw_col_t>(columns - 1));
    if (error != LXW_NO_ERROR) {
        return libraryFailure(error, "worksheet_autofilter");
    }
    return std::nullopt;
}

io::WriteStatus XlsxWriter::commit() {
    if (io::WriteStatus failed = build()) {
        // Nothing of a failed workbook stays behind: neither the work folder nor the
        // target's temporary file.
        removeWorkFolder();
        target_ = io::FileWriter{};
        return failed;
    }
    return std::nullopt;
}

io::WriteStatus XlsxWriter::build() {
    if (failed_ || workbook_ == nullptr) {
        return failed_ ? failed_ : libraryFailure(LXW_ERROR_NULL_PARAMETER_IGNORED, "build");
    }
    if (io::WriteStatus failed = finishSheet(domains_, kExportColumns.size())) {
        return failed;
    }
    if (failures_.sheet != nullptr) {
        if (io::WriteStatus failed = finishSheet(failures_, kFailureColumns)) {
            return failed;
        }
    }
    // workbook_close frees the workbook whatever it answers.
    errno = 0;
    const lxw_error closed = workbook_close(std::exchange(workbook_, nullptr));
    const int systemError = errno;
    if (closed != LXW_NO_ERROR) {
        libraryFailure(closed, "workbook_close");
        // For file and zip errors the library's message names no cause; errno does (a full
        // disk, a file-size limit, a vanished folder).
        if (closed == LXW_ERROR_CREATING_XLSX_FILE || closed == LXW_ERROR_CREATING_TMPFILE ||
            closed == LXW_ERROR_READING_TMPFILE || closed == LXW_ERROR_ZIP_FILE_OPERATION ||
            closed == LXW_ERROR_ZIP_FILE_ADD || closed == LXW_ERROR_ZIP_CLOSE) {
            failed_->errnum = systemError;
        }
        return failed_;
    }
    const int book =
        bookFile_ ? ::dup(bookFile_.get()) : ::open(book_.c_str(), O_RDONLY | O_CLOEXEC);
    if (bookFile_ && book >= 0) {
        ::lseek(book, 0, SEEK_SET);
    }
    if (book < 0) {
        failed_ = io::WriteFailure{errno, false, path_, "read workbook"};
        return failed_;
    }
    std::string chunk(1024 * 1024, '\0');
    for (;;) {
        const ssize_t n = ::read(book, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            failed_ = io::WriteFailure{errno, false, path_, "read workbook"};
            break;
        }
        if (n == 0) {
            break;
        }
        if ((failed_ =
                 target_.write(std::string_view(chunk.data(), static_cast<std::size_t>(n))))) {
            break;
        }
    }
    ::close(book);
    removeWorkFolder();
    if (failed_) {
        return failed_;
    }
    failed_ = target_.commit();
    return failed_;
}

}  // namespace jilan::exporting
