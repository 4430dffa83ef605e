#include "table_row.h"

#include <charconv>
#include <utility>

namespace jilan::ui::filterwin {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<DateKey> dateKey(std::string_view text) {
    DateKey key{};
    std::size_t groups = 0;
    std::size_t i = 0;
    while (i < text.size() && groups < key.size()) {
        if (!isDigit(text[i])) {
            ++i;
            continue;
        }
        std::int32_t value = 0;
        const auto [end, error] =
            std::from_chars(text.data() + i, text.data() + text.size(), value);
        if (error != std::errc{}) {
            return std::nullopt;
        }
        key[groups++] = value;
        i = static_cast<std::size_t>(end - text.data());
        while (i < text.size() && isDigit(text[i])) {
            ++i;  // an overlong group: its leading digits stand for it
        }
    }
    // A date needs at least year, month and day.
    if (groups < 3) {
        return std::nullopt;
    }
    return key;
}

std::optional<double> leadingNumber(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && !isDigit(text[start])) {
        ++start;
    }
    if (start == text.size()) {
        return std::nullopt;
    }
    std::string digits;
    bool point = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            digits.push_back(c);
        } else if (c == ',' && i + 1 < text.size() && isDigit(text[i + 1])) {
            continue;  // thousands separator
        } else if (c == '.' && !point && i + 1 < text.size() && isDigit(text[i + 1])) {
            point = true;
            digits.push_back(c);
        } else {
            break;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{}) {
        return std::nullopt;
    }
    return value;
}

void TableRow::setDetails(DetailCells cells) {
    deletionKey = dateKey(cells.deletionTime);
    deadlineKey = dateKey(cells.bookingDeadline);
    priceKey = leadingNumber(cells.priceInYuan.empty() ? cells.bookingPrice : cells.priceInYuan);
    details = std::move(cells);
}

TableRow makeRow(std::string domain, int listIndex) {
    TableRow row;
    row.features = filter::computeFeatures(domain);
    row.domain = std::move(domain);
    row.listIndex = listIndex;
    return row;
}

}  // namespace jilan::ui::filterwin
