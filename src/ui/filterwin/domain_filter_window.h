#pragma once

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/form1.h"
#include "app/platform.h"
#include "details/detail_service.h"
#include "domain_table_model.h"
#include "filter_bar.h"
#include "history_loader.h"
#include "owned_children.h"
#include "push/notify_config.h"
#include "push/push_task.h"
#include "push/url_mask.h"
#include "stats_tab.h"
#include "watch_store.h"

class QComboBox;
class QMenu;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;

namespace jilan::ui::filterwin {

inline constexpr const char* kWindowTitle = "域名筛选";
inline constexpr const char* kCurrentListSource = "当前列表";
inline constexpr const char* kHistorySource = "历史记录";
inline constexpr const char* kWatchlistSource = "关注列表";

// What the window needs from the program around it.
struct FilterWindowSetup {
    app::Form1& form;                 // List1 and its double-click query
    app::Platform& platform;          // dialogs, clipboard, browser
    QWidget* mainWindow = nullptr;    // raised after a row's query
    details::DetailSettings details;  // the batch: sites, pause, cache (historyPath)
    // The run that is harvesting (or last harvested) the list, for 新 on 当前列表; empty
    // while the program does not record runs.
    std::function<std::optional<std::int64_t>()> currentRunId;
    // The weights of the 评分 column and of the filter's score terms (score.toml).
    filter::ScoreWeights scoreWeights = filter::defaultScoreWeights();
    // notify.toml for 推送选中; empty: $XDG_CONFIG_HOME/jilan-harvester/notify.toml.
    std::string notifyConfigPath{};
    // The clock and pauses of 推送选中; empty: the real ones.
    push::Timing pushTiming{};
};

// "域名筛选": the harvested names (the list, or the history over a date range) in a table
// to filter, sort, batch-query, export, copy and book. Closing it only hides it; a batch
// keeps running until it ends, is stopped, or the program ends (shutdown()).
class DomainFilterWindow : public QWidget {
    Q_OBJECT
public:
    explicit DomainFilterWindow(FilterWindowSetup setup, QWidget* parent = nullptr);
    ~DomainFilterWindow() override;
    DomainFilterWindow(const DomainFilterWindow&) = delete;
    DomainFilterWindow& operator=(const DomainFilterWindow&) = delete;

    // Shows the window (built on first use of the list), raises it, focuses the filter line.
    void open();
    // The program ends: the batch is cancelled (what it finished stays cached) and the
    // window closes.
    void shutdown();

    enum class Source { CurrentList, History, Watchlist };
    void setSource(Source source);
    Source source() const { return source_; }
    // Local dates, both included.
    void setHistoryRange(const QDate& since, const QDate& until);

    DomainTableModel& model() { return model_; }
    FilterBar& filterBar() { return *bar_; }
    QTableView& table() { return *table_; }
    // "统计": the history under the window's filter, in charts.
    StatsTab& statsTab() { return *stats_; }
    QTabWidget& tabs() { return *tabs_; }
    bool batchRunning() const;
    // Names the running batch has still to answer; 0 when none runs.
    std::size_t batchRemaining() const;

    // The actions, as their buttons run them.
    void exportRows();
    void startBatch();
    void stopBatch();
    // Runs the names a stopped batch never asked (what it answered stays in the cache).
    void resumeBatch();
    void copySelection();
    void bookSelection();
    void activateRow(int viewRow);
    // 关注: watches the rows when one of them is not watched, else unwatches them all. The
    // store is written on its own thread; a refusal puts the stars back and says why.
    void toggleWatched(const std::vector<int>& viewRows);
    void toggleSelectedWatched();
    // 推送选中: reads notify.toml and offers its channels in a small menu at the button (a file
    // that is missing, bad or readable by others is named in the status line instead).
    void pushSelection();
    // Sends the selected rows to the channel off this thread; the status line follows it.
    void pushSelectionTo(const std::string& channel);
    bool pushRunning() const { return pushTask_ && pushTask_->running(); }
    // Stores the note being edited (the note rules apply); nothing when it is unchanged.
    void saveNote();
    QLineEdit& noteEdit() { return *note_; }
    // Waits for the watchlist's reads and writes asked so far (their answers follow).
    void finishStoreWrites() { watchStore_->finish(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    QWidget* buildSourceRow();
    QWidget* buildActionRow();
    void reloadCurrentList();
    void reloadHistory();
    void listAppended(std::size_t index);
    void listCleared();
    void rowsShown();
    void sizeColumns();
    // The widths the user gave the columns, by caption, kept in the settings between sessions.
    void rememberColumnWidths() const;
    // The one-line hint over an empty table: what to do to get rows.
    void showEmptyHint();
    // Tab goes from control to control top to bottom: it leaves the table in one press.
    void orderTabs();
    void showTableMenu(const QPoint& at);
    void showPushPicker(const QPoint& globalAt);
    void pollPush();
    // notify.toml with the command line's checks; false (and the reason shown) when refused.
    bool loadPushConfig();
    void exportViewRows(const std::vector<int>& viewRows);
    void pollBatch();
    void finishBatch();
    bool runBatch(std::vector<std::string> names);
    void showDetails(const TableRow& row);
    void refreshNewNames();
    void reloadWatchlist();
    // The watched names as the store holds them; the stars and notes follow.
    void watchlistRead(std::vector<history::WatchedName> names);
    // The note editor shows the note of the table's current row when it is watched.
    void editNoteOf(const std::string& domain);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void setStatus(const QString& text);
    std::vector<int> selectedViewRows() const;
    std::vector<std::string> domainsAt(const std::vector<int>& viewRows) const;

    FilterWindowSetup setup_;
    // The list box's signals, followed while the window lives; cut first when it goes.
    app::Connection listAppended_;
    app::Connection listCleared_;
    // The main window's exit question, answered to leave: a running batch asks once more.
    app::Connection leaving_;
    Source source_ = Source::CurrentList;
    DomainTableModel model_;
    // Shared with the loader's cache look-ups, which may still hold it for one call.
    std::shared_ptr<details::DetailWorker> worker_;
    std::unique_ptr<HistoryLoader> loader_;
    // Made after the loader and gone before it: its end waits for the writes still queued.
    std::unique_ptr<WatchStore> watchStore_;
    // The watchlist by name key, as last read or written from here.
    std::unordered_map<std::string, history::WatchedName> watchlist_;
    // The name whose note the editor holds; empty when it holds none.
    std::string noteDomain_;
    std::vector<std::string> pendingLookups_;
    QTimer lookupTimer_;
    QTimer suffixTimer_;
    QTimer batchTimer_;
    QTimer newNamesTimer_;
    bool columnsSized_ = false;
    bool columnsEverSized_ = false;
    std::string paneDomain_;
    std::size_t batchTotal_ = 0;
    // The names the last batch was stopped before asking, for 继续查询.
    std::vector<std::string> notAsked_;
    // 推送选中: the configuration the picker offered, and the push under way.
    std::optional<push::NotifyConfig> pushConfig_;
    std::unique_ptr<push::PushTask> pushTask_;
    push::Channel pushChannel_;
    push::Redactor pushRedactor_;
    std::size_t pushNames_ = 0;
    QTimer pushTimer_;

    QComboBox* sourceBox_ = nullptr;
    QDateEdit* since_ = nullptr;
    QDateEdit* until_ = nullptr;
    FilterBar* bar_ = nullptr;
    QTableView* table_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    StatsTab* stats_ = nullptr;
    QPlainTextEdit* pane_ = nullptr;
    QLineEdit* note_ = nullptr;
    QLabel* count_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* emptyHint_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressText_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* resume_ = nullptr;
    QPushButton* batch_ = nullptr;
    QPushButton* push_ = nullptr;
    QMenu* pushMenu_ = nullptr;
    std::vector<QWidget*> actionButtons_;  // in their order in the row
    QMenu* tableMenu_ = nullptr;
    OwnedChildren own_;
};

}  // namespace jilan::ui::filterwin
