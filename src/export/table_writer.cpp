#include "export/table_writer.h"

#include "export/csv_export.h"
#include "export/jsonl_export.h"
#include "export/text_export.h"
#include "export/xlsx_export.h"

namespace jilan::exporting {

namespace {

template <typename Writer, typename... Args>
OpenedTable opened(const std::string& path, Args&&... args) {
    auto writer = std::make_unique<Writer>(std::forward<Args>(args)...);
    if (io::WriteStatus failed = writer->open(path)) {
        return OpenedTable{nullptr, failed};
    }
    return OpenedTable{std::move(writer), std::nullopt};
}

}  // namespace

OpenedTable openTable(Format format, const std::string& path, const XlsxOptions& xlsx) {
    switch (format) {
        case Format::Csv:
            return opened<CsvWriter>(path);
        case Format::Xlsx:
            return opened<XlsxWriter>(path, xlsx);
        case Format::Jsonl:
            return opened<JsonlWriter>(path);
        case Format::Txt:
            break;
    }
    return opened<TxtWriter>(path);
}

}  // namespace jilan::exporting
