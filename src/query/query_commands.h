#pragma once

#include <string>
#include <string_view>

#include "app/form1.h"
#include "config/urls.h"
#include "net/fetch_result.h"
#include "net/page_fetcher.h"

namespace jilan::query {

// The marker cut: the piece behind the first `start` (up to a second `start`
// or the end) goes to *piece; the value is that piece up to and including the
// first character of `end`, without any "<", trimmed of spaces only.
std::string markerCut(std::string_view source, std::string_view start, std::string_view end,
                      std::string* piece = nullptr);

// Fills Label1, Label2, Label13, Text2 and Label8..Label11 from the detail page in slot 4.
void parseDetail(app::Form1& form);

// Captions of the filing label, by the command that runs the query.
inline constexpr std::string_view kFiledPrefixMenu = "是否备案：已备案 ";
inline constexpr std::string_view kFiledPrefixList = "是否备案：";

// Judges a fetched lookup page into slots 28, 29, 31 and Label12. A lookup
// that failed or answered an error status shows "是否备案：查询失败".
// Returns false in that case.
bool applyFiling(app::Form1& form, const net::FetchResult& page, std::string_view filedPrefix);

// The two query commands of the domain list.
class QueryCommands {
public:
    QueryCommands(app::Form1& form, net::PageFetcher& fetcher, config::Urls urls);

    void cx_Click();
    void List1_DblClick();
    void csh();
    // A query is waiting for its lookup page.
    bool busy() const { return busy_; }

private:
    enum class Command { Menu, DoubleClick };
    void runQuery(Command command);

    app::Form1& form_;
    net::PageFetcher& fetcher_;
    config::Urls urls_;
    bool busy_ = false;
};

}  // namespace jilan::query
