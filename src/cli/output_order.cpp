#include "output_order.h"

#include "base/name_key.h"

namespace jilan::cli {

std::optional<OutputOrder> outputOrderNamed(std::string_view text) {
    if (text == "score") {
        return OutputOrder::Score;
    }
    if (text == "name") {
        return OutputOrder::Name;
    }
    return std::nullopt;
}

OrderKey orderKeyOf(int score, std::string_view domain) {
    return OrderKey{score, base::nameKey(domain)};
}

bool comesBefore(OutputOrder order, const OrderKey& a, const OrderKey& b) {
    if (order == OutputOrder::Score && a.score != b.score) {
        return a.score > b.score;
    }
    return a.key < b.key;
}

}  // namespace jilan::cli
