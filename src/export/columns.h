#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/domain_name.h"
#include "export/name_record.h"

namespace jilan::exporting {

// Every column a domain table can have, in the order every view lists the ones it shows.
enum class Column : std::size_t {
    Domain,
    Watched,
    Length,
    Suffix,
    Kind,
    Structure,
    Pinyin,
    FirstSeen,
    New,
    LastSeen,
    Runs,
    DeletionType,
    DeletionTime,
    BookingDeadline,
    Filed,
    FilingNumber,
    BookingPlatform,
    BookingPrice,
    PriceInYuan,
    Deposit,
    QueriedAt,
    QueryResult,
    Score,
    ScoreNote,
};
inline constexpr std::size_t kCatalogueSize = 24;

// The views that show a column.
enum View : unsigned {
    kExportView = 1,  // CSV and XLSX files
    kTableView = 2,   // the 域名筛选 window's table
    kDetailPane = 4,  // the 域名筛选 window's pane under the table
};
inline constexpr unsigned kEveryView = kExportView | kTableView | kDetailPane;

// What a cell holds. A Number stands right-aligned in the table. CSV writes every kind as
// text; XLSX writes a Number, Money or Time whose text reads as one as a number cell (Money
// with a currency format, Time as a date and time with its format), so spreadsheets sort and
// sum them, and any other text as text.
enum class Shape { Text, Number, Money, Time };

// Where a column's value comes from; a view repaints a column when its source changes.
enum class Source { Name, Sightings, Run, Details, Watch };

// How a column's cell is written in JSON Lines.
enum class JsonValue {
    Text,       // a string
    Number,     // a number
    Yuan,       // "12.50元" as the number 12.5; any other text stays a string
    SiteTime,   // the site's Beijing time as ISO 8601 with +08:00
    LocalTime,  // this computer's local time as ISO 8601 with its offset
};

// A column's stable ASCII key in JSON Lines (the README lists them) and its value's kind.
struct JsonField {
    std::string_view key{};
    JsonValue value = JsonValue::Text;
};

// One column, declared once for every view.
struct ColumnSpec {
    Column id = Column::Domain;
    std::string_view caption{};
    Shape shape = Shape::Text;
    Source source = Source::Name;
    unsigned views = 0;
    // The 域名筛选 table leaves the column room for this text (values that arrive later than
    // the rows its width is measured on).
    std::string_view widthSample{};
    // The cell's text.
    std::string (*text)(const NameRecord&) = nullptr;
    // How the 域名筛选 table orders it: by its date when it has one, else by its number, else
    // by its text. A missing value (an empty text) goes after every other.
    std::optional<DateKey> (*date)(const NameRecord&) = nullptr;
    std::optional<double> (*number)(const NameRecord&) = nullptr;
    // The 域名筛选 table's text, when it differs from `text`.
    std::string (*tableText)(const NameRecord&) = nullptr;
    JsonField json{};
};

namespace columns {

inline constexpr std::string_view kTimeSample = "0000-00-00 00:00:00";

inline std::string detail(const NameRecord& r, std::string NameDetails::*member) {
    return r.details != nullptr ? r.details->*member : std::string();
}

inline std::string seenTime(const NameRecord& r, std::int64_t Sightings::*member) {
    return r.seen ? localTimeText((*r.seen).*member) : std::string();
}

inline std::optional<DateKey> detailDate(const NameRecord& r,
                                         std::optional<DateKey> DetailSortKeys::*key,
                                         std::string NameDetails::*member) {
    if (r.details == nullptr) {
        return std::nullopt;
    }
    return r.detailKeys != nullptr ? r.detailKeys->*key : dateKey(r.details->*member);
}

}  // namespace columns

// The catalogue: one entry per Column, in its order. A new column is an entry here (and its
// Column); every view that shows it takes it from here.
inline constexpr std::array<ColumnSpec, kCatalogueSize> kColumns = {{
    {.id = Column::Domain,
     .caption = "域名",
     .views = kExportView | kTableView,
     .text = [](const NameRecord& r) { return std::string(r.domain); },
     .json = {"domain", JsonValue::Text}},
    // A star the user sets on a name to follow it (the watchlist of the history store).
    {.id = Column::Watched,
     .caption = "关注",
     .source = Source::Watch,
     .views = kTableView,
     .widthSample = "★",
     .text = [](const NameRecord& r) { return std::string(r.watched.value_or(false) ? "★" : "☆"); },
     // Watched after not watched; unknown last.
     .number =
         [](const NameRecord& r) {
             return r.watched ? std::optional<double>(*r.watched ? 1 : 0) : std::nullopt;
         },
     .json = {"watched", JsonValue::Text}},
    {.id = Column::Length,
     .caption = "长度",
     .shape = Shape::Number,
     .views = kExportView | kTableView,
     .text = [](const NameRecord& r) { return std::to_string(r.features.length); },
     .number = [](const NameRecord& r) { return std::optional<double>(r.features.length); },
     .json = {"length", JsonValue::Number}},
    {.id = Column::Suffix,
     .caption = "后缀",
     .views = kExportView | kTableView,
     .text = [](const NameRecord& r) { return r.features.tld; },
     .json = {"tld", JsonValue::Text}},
    {.id = Column::Kind,
     .caption = "类别",
     .views = kExportView | kTableView,
     .text = [](const NameRecord& r) { return std::string(filter::classText(r.features.kind)); },
     // In the order of the classes, not of their names.
     .number =
         [](const NameRecord& r) {
             return std::optional<double>(static_cast<int>(r.features.kind));
         },
     .json = {"kind", JsonValue::Text}},
    {.id = Column::Structure,
     .caption = "结构",
     .views = kExportView | kTableView,
     .text = [](const NameRecord& r) { return r.features.structure; },
     .json = {"structure", JsonValue::Text}},
    {.id = Column::Pinyin,
     .caption = "拼音",
     .views = kExportView | kTableView,
     .text = [](const NameRecord& r) { return r.features.pinyin; },
     .json = {"pinyin", JsonValue::Text}},
    {.id = Column::FirstSeen,
     .caption = "首次发现",
     .shape = Shape::Time,
     .source = Source::Sightings,
     .views = kExportView | kTableView,
     .widthSample = columns::kTimeSample,
     .text = [](const NameRecord& r) { return columns::seenTime(r, &Sightings::firstSeen); },
     .number =
         [](const NameRecord& r) {
             return r.seen ? std::optional<double>(static_cast<double>(r.seen->firstSeen))
                           : std::nullopt;
         },
     .json = {"first_seen", JsonValue::LocalTime}},
    {.id = Column::New,
     .caption = "新",
     .source = Source::Run,
     .views = kTableView,
     .text = [](const NameRecord& r) { return std::string(r.isNew.value_or(false) ? "新" : ""); },
     // Not new before new; unknown last.
     .number =
         [](const NameRecord& r) {
             return r.isNew ? std::optional<double>(*r.isNew ? 1 : 0) : std::nullopt;
         },
     .json = {"new", JsonValue::Text}},
    {.id = Column::LastSeen,
     .caption = "最近发现",
     .shape = Shape::Time,
     .source = Source::Sightings,
     .views = kExportView,
     .widthSample = columns::kTimeSample,
     .text = [](const NameRecord& r) { return columns::seenTime(r, &Sightings::lastSeen); },
     .json = {"last_seen", JsonValue::LocalTime}},
    {.id = Column::Runs,
     .caption = "次数",
     .shape = Shape::Number,
     .source = Source::Sightings,
     .views = kExportView,
     .text =
         [](const NameRecord& r) { return r.seen ? std::to_string(r.seen->runs) : std::string(); },
     .json = {"runs", JsonValue::Number}},
    {.id = Column::DeletionType,
     .caption = "删除类型",
     .source = Source::Details,
     .views = kExportView | kDetailPane,
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::deletionType); },
     .json = {"deletion_type", JsonValue::Text}},
    {.id = Column::DeletionTime,
     .caption = "删除时间",
     .shape = Shape::Time,
     .source = Source::Details,
     .views = kEveryView,
     .widthSample = columns::kTimeSample,
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::deletionTime); },
     .date =
         [](const NameRecord& r) {
             return columns::detailDate(r, &DetailSortKeys::deletion, &NameDetails::deletionTime);
         },
     .json = {"deletion_time", JsonValue::SiteTime}},
    {.id = Column::BookingDeadline,
     .caption = "预定截止",
     .shape = Shape::Time,
     .source = Source::Details,
     .views = kEveryView,
     .widthSample = columns::kTimeSample,
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::bookingDeadline); },
     .date =
         [](const NameRecord& r) {
             return columns::detailDate(r, &DetailSortKeys::deadline,
                                        &NameDetails::bookingDeadline);
         },
     .json = {"booking_deadline", JsonValue::SiteTime}},
    {.id = Column::Filed,
     .caption = "是否备案",
     .source = Source::Details,
     .views = kEveryView,
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::filed); },
     // The table has no 备案号 column: the number follows in brackets.
     .tableText =
         [](const NameRecord& r) {
             std::string text = columns::detail(r, &NameDetails::filed);
             const std::string number = columns::detail(r, &NameDetails::filingNumber);
             return number.empty() ? text : text + "（" + number + "）";
         },
     .json = {"filed", JsonValue::Text}},
    {.id = Column::FilingNumber,
     .caption = "备案号",
     .source = Source::Details,
     .views = kExportView | kDetailPane,
     .text =
         [](const NameRecord& r) {
             return r.details != nullptr && r.details->filed == kFiledValue
                        ? r.details->filingNumber
                        : std::string();
         },
     .json = {"filing_number", JsonValue::Text}},
    {.id = Column::BookingPlatform,
     .caption = "预定平台",
     .source = Source::Details,
     .views = kExportView | kDetailPane,
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::bookingPlatform); },
     .json = {"booking_platform", JsonValue::Text}},
    {.id = Column::BookingPrice,
     .caption = "预定价格",
     .shape = Shape::Money,
     .source = Source::Details,
     .views = kEveryView,
     // The price arrives after the widths are measured; room for it with its currency.
     .widthSample = "99999.00 美元",
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::bookingPrice); },
     .json = {"booking_price", JsonValue::Text}},
    // The yuan value beside the price as quoted: the table sorts prices by it.
    {.id = Column::PriceInYuan,
     .caption = "折合人民币",
     .shape = Shape::Money,
     .source = Source::Details,
     .views = kEveryView,
     .widthSample = "999999.00元",
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::priceInYuan); },
     .number = [](const NameRecord& r) -> std::optional<double> {
         if (r.details == nullptr) {
             return std::nullopt;
         }
         return r.detailKeys != nullptr ? r.detailKeys->price : sortKeysOf(*r.details).price;
     },
     .json = {"price_cny", JsonValue::Yuan}},
    {.id = Column::Deposit,
     .caption = "保证金",
     .shape = Shape::Money,
     .source = Source::Details,
     .views = kExportView | kDetailPane,
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::deposit); },
     .json = {"deposit", JsonValue::Yuan}},
    {.id = Column::QueriedAt,
     .caption = "查询时间",
     .shape = Shape::Time,
     .source = Source::Details,
     .views = kExportView | kDetailPane,
     .widthSample = columns::kTimeSample,
     .text = [](const NameRecord& r) { return columns::detail(r, &NameDetails::queriedAt); },
     .json = {"queried_at", JsonValue::LocalTime}},
    {.id = Column::QueryResult,
     .caption = "查询结果",
     .source = Source::Details,
     .views = kEveryView,
     .text =
         [](const NameRecord& r) {
             // A name that is no domain is never queried; its row says why it stays empty.
             if (r.details == nullptr && !base::isDomainName(r.domain)) {
                 return std::string(base::kNotADomain);
             }
             return columns::detail(r, &NameDetails::result);
         },
     .json = {"result", JsonValue::Text}},
    {.id = Column::Score,
     .caption = "评分",
     .shape = Shape::Number,
     .views = kExportView | kTableView,
     .widthSample = "100",
     .text =
         [](const NameRecord& r) {
             return r.score != nullptr && r.score->scored() ? std::to_string(r.score->value)
                                                            : std::string();
         },
     .number = [](const NameRecord& r) -> std::optional<double> {
         if (r.score == nullptr || !r.score->scored()) {
             return std::nullopt;
         }
         return r.score->value;
     },
     .json = {"score", JsonValue::Number}},
    {.id = Column::ScoreNote,
     .caption = "评分说明",
     .views = kExportView | kDetailPane,
     .text =
         [](const NameRecord& r) {
             return r.score != nullptr ? r.score->breakdown : std::string();
         },
     .json = {"score_reason", JsonValue::Text}},
}};

constexpr const ColumnSpec& specOf(Column c) {
    return kColumns[static_cast<std::size_t>(c)];
}
constexpr std::string_view captionOf(Column c) {
    return specOf(c).caption;
}

// The columns a view shows, in catalogue order.
template <unsigned view>
constexpr auto columnsOf() {
    constexpr std::size_t count = static_cast<std::size_t>(
        std::count_if(kColumns.begin(), kColumns.end(),
                      [](const ColumnSpec& s) { return (s.views & view) != 0; }));
    std::array<Column, count> out{};
    std::size_t n = 0;
    for (const ColumnSpec& s : kColumns) {
        if ((s.views & view) != 0) {
            out[n++] = s.id;
        }
    }
    return out;
}
inline constexpr auto kExportColumns = columnsOf<kExportView>();
inline constexpr auto kTableColumns = columnsOf<kTableView>();
inline constexpr auto kPaneColumns = columnsOf<kDetailPane>();

// A column's place in a view's list; -1 when the view does not show it.
template <std::size_t n>
constexpr int placeIn(const std::array<Column, n>& view, Column c) {
    for (std::size_t i = 0; i < n; ++i) {
        if (view[i] == c) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The captions of a view's columns, in its order.
template <std::size_t n>
constexpr std::array<std::string_view, n> captionsOf(const std::array<Column, n>& view) {
    std::array<std::string_view, n> out{};
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = captionOf(view[i]);
    }
    return out;
}

namespace columns {

constexpr bool inCatalogueOrder() {
    for (std::size_t i = 0; i < kCatalogueSize; ++i) {
        // (Whether each entry has its text is checked by the tests: comparing a converted
        // lambda with nullptr is not a constant expression under the sanitizers.)
        if (static_cast<std::size_t>(kColumns[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inCatalogueOrder(), "every Column has its entry, at its own place");

}  // namespace columns

}  // namespace jilan::exporting
