#include "table_output.h"

namespace jilan::cli {

TableOutput::TableOutput(const OutputTarget& target, std::size_t expectedRows,
                         const filter::ScoreWeights& weights)
    : target_(target), weights_(weights) {
    exporting::OpenedTable opened =
        exporting::openTable(target.format, target.path, exporting::xlsxOptionsFor(expectedRows));
    writer_ = std::move(opened.writer);
    failure_ = std::move(opened.failure);
    if (!writer_ && !failure_) {
        failure_ = io::WriteFailure{.path = target.path, .detail = "no writer"};
    }
}

void TableOutput::add(const filter::NameFeatures& features, const history::NameRow* seen,
                      const details::NameDetails* details) {
    if (failure_) {
        return;
    }
    if (target_.format == exporting::Format::Txt) {
        addDomain(exporting::domainOf(features, seen, details));
        return;
    }
    failure_ = writer_->add(exporting::makeDomainRow(features, seen, details, weights_));
    if (!failure_) {
        ++rows_;
    }
}

void TableOutput::addDomain(const std::string& domain) {
    if (failure_) {
        return;
    }
    exporting::DomainRow row;
    row[exporting::Column::Domain] = domain;
    failure_ = writer_->add(row);
    if (!failure_) {
        ++rows_;
    }
}

io::WriteStatus TableOutput::commit() {
    if (failure_) {
        return failure_;
    }
    failure_ = writer_->commit();
    return failure_;
}

}  // namespace jilan::cli
