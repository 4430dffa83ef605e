#pragma once

// --sort score|name: the order of the names in an --output file. Without it a run keeps its
// own order (the listing's, or first sighting then name for --search-history).

#include <optional>
#include <string>
#include <string_view>

namespace jilan::cli {

enum class OutputOrder { AsFound, Score, Name };

// "score" or "name"; nullopt for anything else.
std::optional<OutputOrder> outputOrderNamed(std::string_view text);

// One name as the order compares it: its score (-1 when it cannot be scored) and its key.
struct OrderKey {
    int score = -1;
    std::string key;  // base::nameKey of the domain
};
OrderKey orderKeyOf(int score, std::string_view domain);

// Score: highest first, ties (and names that cannot be scored, last) by name. Name: by name.
bool comesBefore(OutputOrder order, const OrderKey& a, const OrderKey& b);

}  // namespace jilan::cli
