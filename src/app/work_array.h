#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace jilan::app {

// Named places in the window's 36-slot work array. Slots 0-3 belong to the
// listing harvester, 4-31 to the domain query; the gaps are unused.
enum class Slot : std::size_t {
    PageText = 0,      // listing page text
    AfterBooking = 1,  // between the first and second "booking"
    ListingText = 2,   // up to the pagination block
    RowDomain = 3,     // domain of the row being appended

    DetailPage = 4,
    DeleteTypePiece = 5,
    DeleteType = 6,
    DeleteTimePiece = 7,
    DeleteTime = 8,
    DeadlinePiece = 10,
    Deadline = 11,
    WhoisPiece = 13,
    Whois = 14,
    PricePiece = 16,  // behind "<th>保证金</th>"
    PriceBlock = 17,  // up to the first "</div>"
    Cell1 = 18,
    Cell2Raw = 19,
    Cell2 = 21,
    Cell3Raw = 22,
    Cell3 = 24,
    Cell4Raw = 25,
    Cell4 = 27,

    IcpPage = 28,
    FilingPiece = 29,
    FilingNumber = 31,
};

class WorkArray {
public:
    static constexpr std::size_t kSize = 36;

    std::string& operator[](Slot slot) { return slots_[static_cast<std::size_t>(slot)]; }
    const std::string& operator[](Slot slot) const {
        return slots_[static_cast<std::size_t>(slot)];
    }
    std::string& at(std::size_t index) { return slots_.at(index); }
    const std::string& at(std::size_t index) const { return slots_.at(index); }
    void clear() {
        for (auto& s : slots_) {
            s.clear();
        }
    }
    bool allEmpty() const {
        for (const auto& s : slots_) {
            if (!s.empty()) {
                return false;
            }
        }
        return true;
    }

private:
    std::array<std::string, kSize> slots_{};
};

}  // namespace jilan::app
