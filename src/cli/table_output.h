#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "cli_run.h"
#include "details/domain_rows.h"
#include "export/table_writer.h"

namespace jilan::cli {

// The table a window-less run streams its rows into. The first failed write is kept and every
// later row is dropped; nothing counts as written before commit() succeeds.
class TableOutput {
public:
    // Opens the target at once; ok() says whether it could be. The 评分 columns are computed
    // under `weights`, which must outlive the table.
    TableOutput(const OutputTarget& target, std::size_t expectedRows,
                const filter::ScoreWeights& weights);

    bool ok() const { return !failure_; }
    // Adds one name: its features, what the history knows of it, what the details said.
    // A text table only needs the domain, so the other columns are not made for it.
    void add(const filter::NameFeatures& features, const history::NameRow* seen,
             const details::NameDetails* details);
    void addDomain(const std::string& domain);
    // Empty when every row reached the file.
    io::WriteStatus commit();
    std::size_t rows() const { return rows_; }

private:
    OutputTarget target_;
    const filter::ScoreWeights& weights_;
    std::unique_ptr<exporting::TableWriter> writer_;
    io::WriteStatus failure_;
    std::size_t rows_ = 0;
};

}  // namespace jilan::cli
