#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/platform.h"
#include "domain_table_model.h"
#include "history/stats.h"
#include "owned_children.h"
#include "stats_worker.h"

class QChartView;
class QComboBox;
class QLabel;
class QPushButton;

namespace jilan::ui::filterwin {

// "统计": the history under the window's filter as three charts - new names per Beijing day
// stacked by class (the last 30 or 90 days), the share of each suffix, and the spread of the
// score. Counted on a worker thread whenever the filter or the days change while the tab is
// shown (or when it is shown after a change); a result overtaken by a newer request is dropped.
class StatsTab : public QWidget {
    Q_OBJECT
public:
    using UtcClock = std::function<std::int64_t()>;

    StatsTab(std::string storePath, app::Platform& platform, QWidget* parent = nullptr,
             UtcClock nowUtc = {});
    ~StatsTab() override;
    StatsTab(const StatsTab&) = delete;
    StatsTab& operator=(const StatsTab&) = delete;

    void setFilter(const RowFilter& filter);
    // 30 or 90.
    void setDays(int days);
    // The counts on show; empty until the first result arrives.
    const history::NameStats& stats() const { return stats_; }
    // Counting in progress.
    bool busy() const { return pending_ != shown_; }
    // The charts as one PNG, to a file the user picks.
    void exportPng();

Q_SIGNALS:
    void statsShown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void recompute();
    void show(std::uint64_t generation, history::NameStats stats);
    void drawDaily();
    void drawSuffixes();
    void drawScores();

    std::string path_;
    app::Platform& platform_;
    UtcClock nowUtc_;
    RowFilter filter_;
    int days_ = 30;
    bool dirty_ = true;
    std::uint64_t pending_ = 0;  // the newest request
    std::uint64_t shown_ = 0;    // the request whose counts are shown
    history::NameStats stats_;

    QComboBox* daysBox_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* export_ = nullptr;
    QWidget* charts_ = nullptr;
    QChartView* daily_ = nullptr;
    QChartView* suffixes_ = nullptr;
    QChartView* scores_ = nullptr;
    OwnedChildren own_;
    // Last: stopped and joined before anything it could deliver to goes.
    StatsWorker worker_;
};

}  // namespace jilan::ui::filterwin
