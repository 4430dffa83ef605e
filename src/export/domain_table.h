#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "export/columns.h"

namespace jilan::exporting {

// One domain as every table format writes it: each column already as text.
struct DomainRow {
    std::array<std::string, kCatalogueSize> cells{};
    // Why the name failed or was not queried; empty when it succeeded, was never asked, or
    // its batch was stopped before it was asked.
    // Rows with a reason are listed again on the workbook's "失败" sheet.
    std::string failure{};

    std::string& operator[](Column c) { return cells[static_cast<std::size_t>(c)]; }
    const std::string& operator[](Column c) const { return cells[static_cast<std::size_t>(c)]; }
    const std::string& domain() const { return (*this)[Column::Domain]; }
};

// Every column of one name, read by the catalogue.
DomainRow rowOf(const NameRecord& record);

// The domain a table names: the one queried, else the one first listed, else the features'
// name and suffix.
std::string domainOf(const filter::NameFeatures& features, const history::NameRow* seen,
                     const NameDetails* details);

// One table row: the features, the sightings when the history knows the name, the details
// when it was queried, the score under `weights`; named by domainOf.
DomainRow makeDomainRow(const filter::NameFeatures& features, const history::NameRow* seen,
                        const NameDetails* details, const filter::ScoreWeights& weights);

enum class Format { Txt, Csv, Xlsx, Jsonl };

// The format a run writes: the one named ("txt", "csv", "xlsx", "jsonl", any case) or else
// the one the file name's extension suggests (.csv, .xlsx, .jsonl; everything else text).
// Empty when the name given is none of these.
std::optional<Format> formatFor(std::string_view path, std::optional<std::string_view> named);

// Columns a text takes in a spreadsheet: East Asian wide and full-width characters count
// two, every other character one. Invalid UTF-8 bytes count one each.
std::size_t displayWidth(std::string_view utf8);

// The text with every byte that is not part of well-formed UTF-8 replaced by U+FFFD: a
// workbook's XML with such a byte is refused whole by spreadsheet programs.
std::string validUtf8(std::string_view text);

}  // namespace jilan::exporting
