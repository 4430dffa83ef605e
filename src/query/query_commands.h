#pragma once

#include <string>
#include <string_view>

#include "app/form1.h"
#include "config/urls.h"
#include "detail_parser.h"
#include "icp_judgement.h"
#include "marker_cut.h"
#include "net/page_fetcher.h"

namespace jilan::query {

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
