#pragma once

#include "app/form1.h"
#include "app/platform.h"
#include "app/shell.h"
#include "config/urls.h"
#include "form_pump.h"
#include "harvest/harvester.h"
#include "listactions/list_actions.h"
#include "net/page_fetcher.h"
#include "net/transfer_pool.h"
#include "query/query_commands.h"

namespace jilan::program {

struct AppOptions {
    config::Urls urls = config::defaultUrls();
    harvest::HarvestOptions harvest;
};

// The program: every handler attached to its event of the window. After the
// program has ended no handler runs any more.
class Application {
public:
    Application(app::Form1& form, app::Platform& platform, net::TransferPool& pool,
                AppOptions options);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    app::Form1& form() { return form_; }
    harvest::Harvester& harvester() { return harvester_; }
    query::QueryCommands& queries() { return queries_; }
    listactions::ListActions& listActions() { return listActions_; }
    app::Shell& shell() { return shell_; }

private:
    template <typename... Args, typename F>
    auto guarded(F f);

    app::Form1& form_;
    app::Platform& platform_;
    FormPump pump_;
    net::PageFetcher fetcher_;
    app::Shell shell_;
    harvest::Harvester harvester_;
    query::QueryCommands queries_;
    listactions::ListActions listActions_;
};

}  // namespace jilan::program
