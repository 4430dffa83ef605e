#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/form1.h"
#include "app/platform.h"
#include "config/urls.h"
#include "detail_parser.h"
#include "icp_judgement.h"
#include "marker_cut.h"
#include "net/page_fetcher.h"

namespace jilan::query {

// The two query commands of the domain list. The detail fetch blocks the window (the
// platform paints the "正在进行查询 .." status first and shows the busy cursor); the lookup
// wait runs window events. A query asked for during that wait is remembered, the last one
// only, and runs when the current query ends.
class QueryCommands {
public:
    QueryCommands(app::Form1& form, net::PageFetcher& fetcher, app::Platform& platform,
                  config::Urls urls);

    void cx_Click();
    void List1_DblClick();
    void csh();
    // A query is waiting for its lookup page.
    bool busy() const { return busy_; }
    // A query asked for during the running one waits for it.
    bool queryPending() const { return pending_.has_value(); }
    // The query that ended last could not fetch its detail page or its lookup.
    bool lastQueryFailed() const { return lastFailed_; }

private:
    enum class Command { Menu, DoubleClick };
    void runQuery(Command command);
    void queryOnce(Command command);

    app::Form1& form_;
    net::PageFetcher& fetcher_;
    app::Platform& platform_;
    config::Urls urls_;
    bool busy_ = false;
    std::optional<Command> pending_;
    bool lastFailed_ = false;
};

}  // namespace jilan::query
