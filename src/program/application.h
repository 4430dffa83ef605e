#pragma once

#include "app/form1.h"
#include "app/platform.h"
#include "app/shell.h"
#include "config/urls.h"
#include "filter/score_weights.h"
#include "form_pump.h"
#include "harvest/harvester.h"
#include "harvest_history.h"
#include "listactions/list_actions.h"
#include "net/page_fetcher.h"
#include "net/transfer_pool.h"
#include "query/query_commands.h"

namespace jilan::program {

struct AppOptions {
    config::Urls urls = config::defaultUrls();
    harvest::HarvestOptions harvest;
    // The history store every harvest is recorded in; empty: --no-history.
    std::string historyPath{};
    // The pause per site between two detail queries of a batch started in the window.
    int detailPauseMs = 1000;
    // The weights of the 评分 column and of the filter's score terms in 域名筛选.
    filter::ScoreWeights scoreWeights = filter::defaultScoreWeights();
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
    HarvestHistory& history() { return history_; }

    // The history file ("" with --no-history) and the store's id of the harvest run begun
    // last (nullopt before the first run, or while its row is not yet written).
    const std::string& historyPath() const { return history_.path(); }
    std::optional<std::int64_t> currentRunId() const { return history_.currentRunId(); }

private:
    template <typename... Args, typename F>
    auto guarded(F f);

    app::Form1& form_;
    app::Platform& platform_;
    // Ends the program on the form's end; held until every part below is torn down.
    app::Connection ended_;
    FormPump pump_;
    net::PageFetcher fetcher_;
    app::Shell shell_;
    // Before the harvester: a harvest that ends while the program is torn down still finds it.
    HarvestHistory history_;
    harvest::Harvester harvester_;
    query::QueryCommands queries_;
    listactions::ListActions listActions_;
    // Names the running harvest appended, for the notification at its end.
    int runEntries_ = 0;
};

}  // namespace jilan::program
