#include "domain_filter_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <unordered_set>
#include <utility>

#include "base/domain_name.h"
#include "base/name_key.h"
#include "cli/notify_run.h"
#include "details/batch_summary.h"
#include "history/watch_note.h"
#include "push/channel_label.h"
#include "push/standard_sender.h"
#include "push_selection.h"
#include "query/detail_batch.h"
#include "table_actions.h"
#include "table_cell_delegate.h"
#include "ui/model_conversions.h"

namespace jilan::ui::filterwin {

namespace {

// The main window's interface font: 9 points, 12 pixels at 96 dpi.
constexpr int kFontPixels = 12;
constexpr int kHistoryDaysByDefault = 7;
constexpr int kBatchPollMs = 100;
constexpr int kPushPollMs = 100;
constexpr int kLookupDelayMs = 200;
constexpr int kSuffixRefreshMs = 500;
constexpr int kNewNamesRefreshMs = 1000;
// Columns are sized from this many rows, never from all of them.
constexpr int kColumnSampleRows = 50;
constexpr int kWidestColumn = 260;
// The 域名 column may grow to its longest name up to this.
constexpr int kWidestDomainColumn = 420;
const QString kColumnWidthsGroup = QStringLiteral("columnWidths");
// States the status line describes; each goes as soon as it no longer holds.
const QString kReadingHistory = QStringLiteral("正在读取历史记录……");
const QString kNothingToExport = QStringLiteral("没有可导出的域名");
const QString kNothingToQuery = QStringLiteral("没有可查询的域名");
const QString kReversedRange = QStringLiteral("日期范围有误：“从”晚于“至”");
const QString kReadingWatchlist = QStringLiteral("正在读取关注列表……");
const QString kNotePlaceholder = QStringLiteral("关注该域名后可在此写备注");

QString durationText(std::chrono::seconds left) {
    return toQt(details::durationText(left));
}

// $XDG_CONFIG_HOME/jilan-harvester/filter-window.ini, beside the presets.
QSettings windowSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("jilan-harvester"),
                     QStringLiteral("filter-window"));
}

std::int64_t localMidnightUtc(const QDate& date) {
    return QDateTime(date, QTime(0, 0)).toSecsSinceEpoch();
}

// A watched name as the 关注列表 source shows it: its latest details as the store keeps them.
TableRow watchedRow(const history::WatchedName& name) {
    TableRow row = makeRow(name.domain, -1);
    row.watched = true;
    const history::WatchDetails& d = name.details;
    if (d.fetchedAt != 0) {
        DetailCells cells;
        cells.domain = name.domain;
        cells.deletionTime = d.deletionTime;
        cells.bookingDeadline = d.bookingDeadline;
        cells.filed = d.icpState;
        cells.bookingPrice = d.price;
        cells.queriedAt = exporting::localTimeText(d.fetchedAt);
        row.setDetails(std::move(cells));
    }
    return row;
}

}  // namespace

DomainFilterWindow::DomainFilterWindow(FilterWindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(std::move(setup)) {
    setObjectName(QStringLiteral("DomainFilterWindow"));
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    QFont interfaceFont = font();
    interfaceFont.setPixelSize(kFontPixels);
    setFont(interfaceFont);
    resize(1180, 660);

    model_.setScoreWeights(setup_.scoreWeights);
    HistoryLoader::Callbacks callbacks;
    callbacks.rows = [this](std::vector<TableRow> rows) { model_.append(std::move(rows)); };
    callbacks.done = [this](const std::string& error) {
        model_.flush();
        if (!error.empty()) {
            setStatus(toQt(error));
        } else if (status_->text() == kReadingHistory) {
            setStatus(QString());
        }
    };
    callbacks.details = [this](std::vector<std::pair<std::string, DetailCells>> found) {
        model_.setDetails(found);
    };
    callbacks.newNames = [this](const std::vector<std::string>& keys, bool replace) {
        if (source_ == Source::CurrentList) {
            model_.setNewNames(keys, replace);
        }
    };
    callbacks.sightings = [this](std::vector<std::pair<std::string, exporting::Sightings>> found) {
        if (source_ != Source::History) {
            model_.setSightings(found);
        }
    };
    worker_ = std::make_shared<details::DetailWorker>(setup_.details);
    loader_ = std::make_unique<HistoryLoader>(
        setup_.details.historyPath,
        [weak = std::weak_ptr<details::DetailWorker>(worker_)](
            const std::string& domain) -> std::optional<DetailCells> {
            const auto worker = weak.lock();
            return worker ? worker->cached(domain) : std::nullopt;
        },
        std::move(callbacks));
    watchStore_ = std::make_unique<WatchStore>(setup_.details.historyPath);

    build();
    orderTabs();
    // Nobody sees the table until the window is shown: arrivals are only kept till then.
    model_.setHeld(true);

    for (QTimer* timer : {&lookupTimer_, &suffixTimer_, &newNamesTimer_}) {
        timer->setSingleShot(true);
    }
    lookupTimer_.setObjectName(QStringLiteral("lookupTimer"));
    suffixTimer_.setObjectName(QStringLiteral("suffixTimer"));
    newNamesTimer_.setObjectName(QStringLiteral("newNamesTimer"));
    batchTimer_.setObjectName(QStringLiteral("batchTimer"));
    lookupTimer_.setInterval(kLookupDelayMs);
    connect(&lookupTimer_, &QTimer::timeout, this,
            [this] { loader_->lookUpDetails(std::exchange(pendingLookups_, {}), true); });
    suffixTimer_.setInterval(kSuffixRefreshMs);
    connect(&suffixTimer_, &QTimer::timeout, this,
            [this] { bar_->setSuffixes(model_.suffixCounts()); });
    newNamesTimer_.setInterval(kNewNamesRefreshMs);
    connect(&newNamesTimer_, &QTimer::timeout, this, &DomainFilterWindow::refreshNewNames);
    batchTimer_.setInterval(kBatchPollMs);
    connect(&batchTimer_, &QTimer::timeout, this, &DomainFilterWindow::pollBatch);
    pushTimer_.setObjectName(QStringLiteral("pushTimer"));
    pushTimer_.setInterval(kPushPollMs);
    connect(&pushTimer_, &QTimer::timeout, this, &DomainFilterWindow::pollPush);

    connect(&model_, &DomainTableModel::shownChanged, this, &DomainFilterWindow::rowsShown);
    connect(bar_, &FilterBar::filterChanged, this, [this](const RowFilter& filter) {
        model_.setFilter(filter);
        stats_->setFilter(filter);
    });

    // The list box's entries arrive and go through its signals; only while it is the source.
    listAppended_ = setup_.form.List1.itemAppended.connect([this](std::size_t index) {
        if (source_ == Source::CurrentList) {
            listAppended(index);
        }
    });
    listCleared_ = setup_.form.List1.itemsCleared.connect([this] {
        if (source_ == Source::CurrentList) {
            listCleared();
        }
    });
    // Leaving while 批量查询 runs asks once more: its unasked names would be dropped.
    leaving_ = setup_.form.leaving.connect([this](bool& stay) {
        const std::size_t left = batchRemaining();
        if (left == 0) {
            return;
        }
        const std::string question =
            "批量查询未完成（剩余 " + std::to_string(left) + " 个），仍要退出？";
        stay = setup_.platform.messageBox(question, app::kMessageTitle,
                                          app::MessageButtons::YesNoCancel,
                                          app::MessageIcon::Information) != app::MessageAnswer::Yes;
    });
    reloadCurrentList();
    rowsShown();
    // The stars of the rows (and later ones) come from the watchlist, read once here.
    watchStore_->list(
        [this](std::optional<std::vector<history::WatchedName>> names, const std::string&) {
            if (names) {
                watchlistRead(std::move(*names));
            }
        });
}

DomainFilterWindow::~DomainFilterWindow() {
    pushTask_.reset();
    leaving_.disconnect();
    listAppended_.disconnect();
    listCleared_.disconnect();
    // A note typed and never left is stored all the same; the store's end waits for it.
    saveNote();
    watchStore_.reset();
    loader_.reset();
    worker_.reset();
}

void DomainFilterWindow::build() {
    auto* layout = own_.make<QVBoxLayout>(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(buildSourceRow());

    bar_ = own_.make<FilterBar>(this);
    bar_->setOverwriteQuestion([this](const QString& name) {
        return setup_.platform.messageBox("覆盖预设“" + fromQt(name) + "”？", app::kMessageTitle,
                                          app::MessageButtons::YesNoCancel,
                                          app::MessageIcon::Information) == app::MessageAnswer::Yes;
    });
    bar_->setScoreWeights(setup_.scoreWeights);
    layout->addWidget(bar_);

    // The names in a table, or a picture of the history under the same filter. Made before
    // its pages, so that they go before it.
    tabs_ = own_.make<QTabWidget>(this);
    tabs_->setObjectName(QStringLiteral("viewTabs"));
    tabs_->setDocumentMode(true);
    auto* split = own_.make<QSplitter>(Qt::Vertical, tabs_);
    table_ = own_.make<QTableView>(split);
    table_->setObjectName(QStringLiteral("domainTable"));
    table_->setModel(&model_);
    table_->setItemDelegate(own_.make<TableCellDelegate>(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Arrows move between cells; Tab moves on to the next control.
    table_->setTabKeyNavigation(false);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_, &QWidget::customContextMenuRequested, this, &DomainFilterWindow::showTableMenu);
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    // Fixed row heights: the view never measures a row.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSortIndicatorShown(true);
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    connect(table_, &QTableView::activated, this,
            [this](const QModelIndex& index) { activateRow(index.row()); });
    split->addWidget(table_);
    emptyHint_ = own_.make<QLabel>(table_->viewport());
    emptyHint_->setObjectName(QStringLiteral("emptyHint"));
    emptyHint_->setAlignment(Qt::AlignCenter);
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    emptyHint_->setForegroundRole(QPalette::PlaceholderText);
    own_.make<QVBoxLayout>(table_->viewport())->addWidget(emptyHint_);

    // The pane and the note under it; made before them so that it goes after them.
    auto* paneBox = own_.make<QWidget>(split);
    pane_ = own_.make<QPlainTextEdit>(paneBox);
    pane_->setObjectName(QStringLiteral("detailsPane"));
    pane_->setReadOnly(true);
    pane_->setTabChangesFocus(true);
    pane_->setPlaceholderText(QStringLiteral("在历史记录中双击域名，在此查看其查询结果"));
    auto* paneLayout = own_.make<QVBoxLayout>(paneBox);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->setSpacing(4);
    paneLayout->addWidget(pane_, 1);
    // A widget of its own: these layouts are set on widgets, never nested (OwnedChildren).
    auto* noteBox = own_.make<QWidget>(paneBox);
    auto* noteRow = own_.make<QHBoxLayout>(noteBox);
    noteRow->setContentsMargins(0, 0, 0, 0);
    paneLayout->addWidget(noteBox);
    noteRow->addWidget(own_.make<QLabel>(QStringLiteral("备注："), noteBox));
    note_ = own_.make<QLineEdit>(noteBox);
    note_->setObjectName(QStringLiteral("noteEdit"));
    note_->setPlaceholderText(kNotePlaceholder);
    note_->setToolTip(
        QStringLiteral("离开输入框或按 Ctrl+Enter 保存，最多 %1 字").arg(history::kMaxNoteChars));
    note_->setEnabled(false);
    note_->installEventFilter(this);
    connect(note_, &QLineEdit::returnPressed, this, &DomainFilterWindow::saveNote);
    noteRow->addWidget(note_, 1);
    split->addWidget(paneBox);
    split->setStretchFactor(0, 5);
    split->setStretchFactor(1, 1);
    tabs_->addTab(split, QStringLiteral("域名"));
    stats_ = own_.make<StatsTab>(setup_.details.historyPath, setup_.platform, tabs_);
    stats_->setObjectName(QStringLiteral("statsTab"));
    tabs_->addTab(stats_, QStringLiteral("统计"));
    layout->addWidget(tabs_, 1);

    layout->addWidget(buildActionRow());

    status_ = own_.make<QLabel>(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setTextFormat(Qt::PlainText);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    // Shift+F10 opens the table's menu as the Menu key does, at the current row.
    auto* menuKey = own_.make<QShortcut>(QKeySequence(QStringLiteral("Shift+F10")), table_);
    menuKey->setContext(Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QRect cell = table_->visualRect(table_->currentIndex());
        showTableMenu(cell.isValid() ? cell.center() : QPoint(0, 0));
    });
    // 关注: Ctrl+D stars the selected rows; Space (on the table) and a click on a star too.
    auto* watch = own_.make<QShortcut>(QKeySequence(QStringLiteral("Ctrl+D")), this);
    connect(watch, &QShortcut::activated, this, &DomainFilterWindow::toggleSelectedWatched);
    table_->installEventFilter(this);
    connect(table_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == tableIndexOf(Column::Watched)) {
            toggleWatched({index.row()});
        }
    });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                editNoteOf(current.isValid() && current.row() < model_.shown()
                               ? model_.rowAt(current.row()).domain
                               : std::string());
            });
    auto* find = own_.make<QShortcut>(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        bar_->edit()->setFocus(Qt::ShortcutFocusReason);
        bar_->edit()->selectAll();
    });
    connect(bar_, &FilterBar::controlsChanged, this, &DomainFilterWindow::orderTabs);

    auto* copy = own_.make<QShortcut>(QKeySequence::Copy, table_);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &DomainFilterWindow::copySelection);
    auto* save = own_.make<QShortcut>(QKeySequence(QStringLiteral("Ctrl+S")), this);
    connect(save, &QShortcut::activated, this, &DomainFilterWindow::exportRows);
    // Ctrl+B starts 批量查询, or stops the one running.
    auto* batch = own_.make<QShortcut>(QKeySequence(QStringLiteral("Ctrl+B")), this);
    connect(batch, &QShortcut::activated, this, [this] {
        if (batchRunning()) {
            stopBatch();
        } else {
            startBatch();
        }
    });
}

QWidget* DomainFilterWindow::buildSourceRow() {
    auto* row = own_.make<QWidget>(this);
    auto* layout = own_.make<QHBoxLayout>(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(own_.make<QLabel>(QStringLiteral("来源："), row));
    sourceBox_ = own_.make<QComboBox>(row);
    sourceBox_->setObjectName(QStringLiteral("sourceBox"));
    sourceBox_->addItem(QString::fromUtf8(kCurrentListSource));
    sourceBox_->addItem(QString::fromUtf8(kHistorySource));
    sourceBox_->addItem(QString::fromUtf8(kWatchlistSource));
    layout->addWidget(sourceBox_);
    layout->addSpacing(12);
    layout->addWidget(own_.make<QLabel>(QStringLiteral("最近发现：从"), row));
    const QDate today = QDate::currentDate();
    since_ = own_.make<QDateEdit>(today.addDays(1 - kHistoryDaysByDefault), row);
    until_ = own_.make<QDateEdit>(today, row);
    since_->setObjectName(QStringLiteral("sinceDate"));
    until_->setObjectName(QStringLiteral("untilDate"));
    for (QDateEdit* edit : {since_, until_}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setEnabled(false);
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            if (source_ == Source::History) {
                reloadHistory();
            }
        });
    }
    layout->addWidget(since_);
    layout->addWidget(own_.make<QLabel>(QStringLiteral("至"), row));
    layout->addWidget(until_);
    layout->addStretch(1);
    connect(sourceBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setSource(static_cast<Source>(index)); });
    return row;
}

QWidget* DomainFilterWindow::buildActionRow() {
    auto* row = own_.make<QWidget>(this);
    auto* layout = own_.make<QHBoxLayout>(row);
    layout->setContentsMargins(0, 0, 0, 0);
    count_ = own_.make<QLabel>(row);
    count_->setObjectName(QStringLiteral("countLabel"));
    layout->addWidget(count_);
    layout->addSpacing(12);
    progress_ = own_.make<QProgressBar>(row);
    progress_->setObjectName(QStringLiteral("batchProgress"));
    progress_->setTextVisible(true);
    progress_->setFormat(QStringLiteral("%v / %m"));
    progress_->setMaximumWidth(220);
    progress_->hide();
    layout->addWidget(progress_);
    progressText_ = own_.make<QLabel>(row);
    progressText_->setObjectName(QStringLiteral("batchText"));
    layout->addWidget(progressText_);
    stop_ = own_.make<QPushButton>(QStringLiteral("停止查询"), row);
    stop_->setObjectName(QStringLiteral("stopButton"));
    stop_->hide();
    connect(stop_, &QPushButton::clicked, this, &DomainFilterWindow::stopBatch);
    layout->addWidget(stop_);
    resume_ = own_.make<QPushButton>(QStringLiteral("继续查询"), row);
    resume_->setObjectName(QStringLiteral("resumeButton"));
    resume_->setToolTip(QStringLiteral("查询上次停止时尚未查询的域名"));
    resume_->setAutoDefault(false);
    resume_->hide();
    connect(resume_, &QPushButton::clicked, this, &DomainFilterWindow::resumeBatch);
    layout->addWidget(resume_);
    actionButtons_ = {stop_, resume_};
    layout->addStretch(1);

    const auto button = [&](const char* caption, const char* name,
                            void (DomainFilterWindow::*act)()) {
        auto* b = own_.make<QPushButton>(QString::fromUtf8(caption), row);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, act);
        layout->addWidget(b);
        actionButtons_.push_back(b);
        return b;
    };
    button("导出", "exportButton", &DomainFilterWindow::exportRows)
        ->setToolTip(QStringLiteral("Ctrl+S：导出所选（两行以上）或全部显示的域名"));
    batch_ = button("批量查询", "batchButton", &DomainFilterWindow::startBatch);
    batch_->setToolTip(QStringLiteral(
        "Ctrl+B：查询所选（两行以上）或全部显示域名的删除时间、价格与备案；再按停止"));
    button("复制", "copyButton", &DomainFilterWindow::copySelection)
        ->setToolTip(QStringLiteral("Ctrl+C：复制所选域名，每行一个"));
    button("预定", "bookButton", &DomainFilterWindow::bookSelection)
        ->setToolTip(QStringLiteral("在浏览器中打开所选域名的预定页面"));
    push_ = button("推送选中", "pushButton", &DomainFilterWindow::pushSelection);
    push_->setToolTip(QStringLiteral("把所选域名推送到 notify.toml 中配置的一个通道"));
    return row;
}

void DomainFilterWindow::open() {
    show();
    raise();
    activateWindow();
    bar_->edit()->setFocus(Qt::ShortcutFocusReason);
    bar_->edit()->selectAll();
}

void DomainFilterWindow::shutdown() {
    pushTimer_.stop();
    pushTask_.reset();  // a pause is cut short; a request under way ends first
    batchTimer_.stop();
    loader_->cancel();
    if (worker_) {
        worker_->stop();
        worker_.reset();  // joins; the names it finished stay in the cache
    }
    close();
}

void DomainFilterWindow::closeEvent(QCloseEvent* event) {
    saveNote();
    // Hidden, not destroyed: the rows, the filter and a running batch stay.
    event->accept();
}

void DomainFilterWindow::keyPressEvent(QKeyEvent* event) {
    // Esc hides the window as closing it does (a control that uses Esc keeps it).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DomainFilterWindow::orderTabs() {
    std::vector<QWidget*> order{sourceBox_, since_, until_};
    const std::vector<QWidget*> bar = bar_->tabOrder();
    order.insert(order.end(), bar.begin(), bar.end());
    order.insert(order.end(), {table_, pane_});
    order.insert(order.end(), actionButtons_.begin(), actionButtons_.end());
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void DomainFilterWindow::showTableMenu(const QPoint& at) {
    if (tableMenu_ == nullptr) {
        tableMenu_ = own_.make<QMenu>(this);
        tableMenu_->setObjectName(QStringLiteral("tableMenu"));
        tableMenu_->addAction(QStringLiteral("复制"), this, &DomainFilterWindow::copySelection);
        tableMenu_->addAction(QStringLiteral("预定"), this, &DomainFilterWindow::bookSelection);
        tableMenu_->addAction(QStringLiteral("查询"), this, [this] {
            const std::vector<int> rows = selectedViewRows();
            if (rows.size() == 1) {
                activateRow(rows.front());
            } else {
                startBatch();
            }
        });
        tableMenu_
            ->addAction(QStringLiteral("关注"), this, &DomainFilterWindow::toggleSelectedWatched)
            ->setShortcut(QKeySequence(QStringLiteral("Ctrl+D")));
        tableMenu_->addSeparator();
        tableMenu_->addAction(QStringLiteral("导出选中"), this,
                              [this] { exportViewRows(selectedViewRows()); });
        tableMenu_->addAction(QStringLiteral("推送选中"), this,
                              [this] { showPushPicker(tableMenu_->pos()); });
    }
    const bool any = !selectedViewRows().empty();
    for (QAction* action : tableMenu_->actions()) {
        action->setEnabled(any);
    }
    tableMenu_->popup(table_->viewport()->mapToGlobal(at));
}

void DomainFilterWindow::showEvent(QShowEvent* event) {
    model_.setHeld(false);
    QWidget::showEvent(event);
}

void DomainFilterWindow::hideEvent(QHideEvent* event) {
    // Hidden (closed or minimised): the rows go on arriving but the table is not kept up.
    model_.setHeld(true);
    rememberColumnWidths();
    QWidget::hideEvent(event);
}

void DomainFilterWindow::setSource(Source source) {
    if (source == source_) {
        return;
    }
    source_ = source;
    {
        const QSignalBlocker quiet(sourceBox_);
        sourceBox_->setCurrentIndex(static_cast<int>(source));
    }
    since_->setEnabled(source == Source::History);
    until_->setEnabled(source == Source::History);
    pane_->clear();
    paneDomain_.clear();
    if (status_->text() == kReadingWatchlist) {
        setStatus(QString());
    }
    if (source == Source::History) {
        reloadHistory();
    } else if (source == Source::Watchlist) {
        reloadWatchlist();
    } else {
        for (QDateEdit* edit : {since_, until_}) {
            edit->setStyleSheet(QString());
        }
        if (status_->text() == kReadingHistory || status_->text() == kReversedRange) {
            setStatus(QString());
        }
        reloadCurrentList();
    }
}

void DomainFilterWindow::setHistoryRange(const QDate& since, const QDate& until) {
    {
        const QSignalBlocker quietSince(since_);
        const QSignalBlocker quietUntil(until_);
        since_->setDate(since);
        until_->setDate(until);
    }
    if (source_ == Source::History) {
        reloadHistory();
    }
}

void DomainFilterWindow::reloadCurrentList() {
    loader_->cancel();
    model_.clear();
    columnsSized_ = false;
    const app::ListBox& list = setup_.form.List1;
    std::vector<TableRow> rows;
    rows.reserve(list.listCount());
    for (std::size_t i = 0; i < list.listCount(); ++i) {
        rows.push_back(makeRow(list.list(i), static_cast<int>(i)));
    }
    std::vector<std::string> names(list.items().begin(), list.items().end());
    model_.append(std::move(rows));
    model_.flush();
    loader_->lookUpDetails(std::move(names), true);
    refreshNewNames();
}

void DomainFilterWindow::reloadHistory() {
    model_.clear();
    columnsSized_ = false;
    loader_->cancel();
    const QDate since = since_->date();
    const QDate until = until_->date();
    // A reversed range shows nothing, in red, until it is put right.
    const bool reversed = until < since;
    for (QDateEdit* edit : {since_, until_}) {
        edit->setStyleSheet(reversed ? QStringLiteral("color: #c00000;") : QString());
    }
    if (reversed) {
        setStatus(kReversedRange);
        showEmptyHint();
        return;
    }
    if (status_->text() == kReversedRange) {
        setStatus(QString());
    }
    setStatus(kReadingHistory);
    loader_->loadRange({localMidnightUtc(since), localMidnightUtc(until.addDays(1))});
}

void DomainFilterWindow::listAppended(std::size_t index) {
    const app::ListBox& list = setup_.form.List1;
    if (index >= list.listCount()) {
        return;
    }
    model_.append(makeRow(list.list(index), static_cast<int>(index)));
    pendingLookups_.push_back(list.list(index));
    if (!lookupTimer_.isActive()) {
        lookupTimer_.start();
    }
    if (!newNamesTimer_.isActive()) {
        newNamesTimer_.start();
    }
}

void DomainFilterWindow::listCleared() {
    loader_->cancel();
    pendingLookups_.clear();
    model_.clear();
    columnsSized_ = false;
}

void DomainFilterWindow::refreshNewNames() {
    // 新 on the list: first recorded by the run that harvested it, once runs are known.
    if (source_ != Source::CurrentList || !setup_.currentRunId) {
        return;
    }
    if (const std::optional<std::int64_t> run = setup_.currentRunId()) {
        loader_->findNewInRun(*run);
    }
}

void DomainFilterWindow::rowsShown() {
    count_->setText(QStringLiteral("显示 %1 / %2").arg(model_.shown()).arg(model_.total()));
    if (model_.shown() > 0 &&
        (status_->text() == kNothingToExport || status_->text() == kNothingToQuery)) {
        setStatus(QString());
    }
    showEmptyHint();
    if (!columnsSized_ && model_.shown() > 0) {
        sizeColumns();
    }
    if (!suffixTimer_.isActive()) {
        suffixTimer_.start();
    }
}

void DomainFilterWindow::sizeColumns() {
    columnsSized_ = true;
    columnsEverSized_ = true;
    const QFontMetrics metrics = table_->fontMetrics();
    const int rows = std::min(model_.shown(), kColumnSampleRows);
    const int padding = 18;
    QSettings settings = windowSettings();
    settings.beginGroup(kColumnWidthsGroup);
    QVariantMap remembered;
    for (const QString& key : settings.childKeys()) {
        remembered.insert(key, settings.value(key));
    }
    for (int column = 0; column < kTableColumnCount; ++column) {
        int width =
            metrics.horizontalAdvance(model_.headerData(column, Qt::Horizontal).toString()) +
            padding + 12;  // room for the sort arrow
        const std::string_view sample =
            exporting::specOf(exporting::kTableColumns[static_cast<std::size_t>(column)])
                .widthSample;
        if (!sample.empty()) {
            // Values that arrive later than the sample (times): room for a whole one.
            width = std::max(width, metrics.horizontalAdvance(QString::fromUtf8(
                                        sample.data(), static_cast<qsizetype>(sample.size()))) +
                                        padding);
        }
        for (int row = 0; row < rows; ++row) {
            const QString text = model_.data(model_.index(row, column)).toString();
            width = std::max(width, metrics.horizontalAdvance(text) + padding);
        }
        const bool domain = column == tableIndexOf(Column::Domain);
        width = std::min(width, domain ? kWidestDomainColumn : kWidestColumn);
        // What the user set last time wins over the measure.
        const QString caption = model_.headerData(column, Qt::Horizontal).toString();
        width = remembered.value(caption, width).toInt();
        table_->setColumnWidth(column,
                               std::max(width, metrics.horizontalAdvance(QLatin1Char('M'))));
    }
}

void DomainFilterWindow::rememberColumnWidths() const {
    if (!columnsEverSized_) {
        return;
    }
    QSettings settings = windowSettings();
    settings.beginGroup(kColumnWidthsGroup);
    for (int column = 0; column < kTableColumnCount; ++column) {
        settings.setValue(model_.headerData(column, Qt::Horizontal).toString(),
                          table_->columnWidth(column));
    }
}

void DomainFilterWindow::showEmptyHint() {
    QString hint;
    if (source_ == Source::History && until_->date() < since_->date()) {
        hint = QStringLiteral("“从”的日期晚于“至”：改正日期后显示记录");
    } else if (model_.total() == 0 && source_ == Source::Watchlist) {
        hint = status_->text() == kReadingWatchlist
                   ? QString()
                   : QStringLiteral("还没有关注的域名：在表格中点击星标或按 Ctrl+D 关注");
    } else if (model_.total() == 0) {
        hint = source_ == Source::History
                   ? QStringLiteral("这段日期内没有记录：选择更早的“从”日期")
                   : QStringLiteral("列表为空：在主窗口开始采集，采到的域名会显示在这里");
    } else if (model_.shown() == 0) {
        hint = QStringLiteral("没有符合筛选条件的域名：放宽或清空筛选条件");
    }
    emptyHint_->setText(hint);
    emptyHint_->setVisible(!hint.isEmpty());
}

std::vector<int> DomainFilterWindow::selectedViewRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::string> DomainFilterWindow::domainsAt(const std::vector<int>& viewRows) const {
    std::vector<std::string> domains;
    domains.reserve(viewRows.size());
    for (int row : viewRows) {
        domains.push_back(model_.rowAt(row).domain);
    }
    return domains;
}

void DomainFilterWindow::setStatus(const QString& text) {
    status_->setText(text);
}

void DomainFilterWindow::exportRows() {
    model_.flush();
    exportViewRows(exportTargets(selectedViewRows(), model_.shown()));
}

void DomainFilterWindow::exportViewRows(const std::vector<int>& targets) {
    if (targets.empty()) {
        setStatus(kNothingToExport);
        return;
    }
    const std::optional<app::SaveFileAnswer> answer =
        setup_.platform.saveFileQuestion(kExportDialogTitle, kExportFilter, "筛选结果.xlsx");
    if (!answer) {
        return;
    }
    const ExportTarget target = exportTarget(answer->path, answer->filterIndex);
    std::vector<const TableRow*> rows;
    rows.reserve(targets.size());
    for (int row : targets) {
        rows.push_back(&model_.rowAt(row));
    }
    if (const io::WriteStatus failed = filterwin::exportRows(target, rows, model_.scoreWeights())) {
        // Failures carry the warning icon, as the list export's do.
        setup_.platform.messageBox(exportFailedText(target.path, *failed), app::kMessageTitle,
                                   app::MessageButtons::Ok, app::MessageIcon::Warning);
        return;
    }
    setStatus(toQt(exportedText(rows.size(), target.path)));
}

bool DomainFilterWindow::batchRunning() const {
    return worker_ && worker_->running();
}

std::size_t DomainFilterWindow::batchRemaining() const {
    if (!batchRunning()) {
        return 0;
    }
    const details::DetailProgress p = worker_->progress();
    return p.total - std::min(p.total, p.done + p.notAsked);
}

void DomainFilterWindow::startBatch() {
    model_.flush();
    if (batchRunning()) {
        return;
    }
    std::vector<std::string> names = domainsAt(exportTargets(selectedViewRows(), model_.shown()));
    if (names.empty()) {
        setStatus(kNothingToQuery);
        return;
    }
    if (names.size() > details::kAskBeforeBatchOver) {
        const std::string question =
            "批量查询 " + std::to_string(names.size()) + " 个域名，约 " +
            details::durationText(details::batchEstimate(names.size(), setup_.details.pauseMs)) +
            "，可随时停止。开始查询？";
        if (setup_.platform.messageBox(question, app::kMessageTitle,
                                       app::MessageButtons::YesNoCancel,
                                       app::MessageIcon::Information) != app::MessageAnswer::Yes) {
            return;
        }
    }
    runBatch(std::move(names));
}

void DomainFilterWindow::resumeBatch() {
    if (batchRunning() || notAsked_.empty()) {
        return;
    }
    runBatch(notAsked_);
}

bool DomainFilterWindow::runBatch(std::vector<std::string> names) {
    batchTotal_ = names.size();
    if (!worker_ || !worker_->start(std::move(names))) {
        return false;
    }
    notAsked_.clear();
    paneDomain_.clear();
    progress_->setRange(0, static_cast<int>(batchTotal_));
    progress_->setValue(0);
    progress_->show();
    stop_->show();
    stop_->setEnabled(true);
    resume_->hide();
    batch_->setEnabled(false);
    progressText_->setText(QStringLiteral("正在查询……"));
    setStatus(QString());
    batchTimer_.start();
    return true;
}

void DomainFilterWindow::stopBatch() {
    if (worker_ && worker_->running()) {
        worker_->stop();
        stop_->setEnabled(false);
        progressText_->setText(QStringLiteral("正在停止……"));
    }
}

void DomainFilterWindow::pollBatch() {
    if (!worker_) {
        batchTimer_.stop();
        return;
    }
    const bool running = worker_->running();
    std::vector<std::pair<std::string, DetailCells>> found;
    for (const DetailCells& result : worker_->takeResults()) {
        if (result.result == query::kNotAskedInterrupted) {
            notAsked_.push_back(result.domain);
        }
        found.emplace_back(result.domain, result);
        if (!paneDomain_.empty() && base::nameKey(result.domain) == base::nameKey(paneDomain_)) {
            TableRow shown = makeRow(result.domain, -1);
            shown.setDetails(result);
            showDetails(shown);
        }
    }
    model_.setDetails(found);
    const details::DetailProgress p = worker_->progress();
    // The bar shows the share answered: names a stop kept from being asked are not done.
    progress_->setRange(0, static_cast<int>(std::max<std::size_t>(p.total, 1)));
    progress_->setValue(static_cast<int>(p.done));
    QString text = QStringLiteral("缓存 %1，失败 %2").arg(p.fromCache).arg(p.failed);
    if (p.left && running) {
        text += QStringLiteral("，剩余约 ") + durationText(*p.left);
    }
    progressText_->setText(text);
    if (!running) {
        finishBatch();
    }
}

void DomainFilterWindow::finishBatch() {
    batchTimer_.stop();
    stop_->hide();
    batch_->setEnabled(true);
    const details::DetailProgress p = worker_->progress();
    QString text;
    if (p.notAsked > 0) {
        text = toQt(details::stoppedSummary(p));
        if (p.fromCache > 0) {
            text += QStringLiteral("，缓存 %1").arg(p.fromCache);
        }
        if (p.failed > 0) {
            text += QStringLiteral("，失败 %1").arg(p.failed);
        }
    } else {
        text = QStringLiteral("批量查询结束：完成 %1 / %2，缓存 %3，失败 %4")
                   .arg(p.done)
                   .arg(p.total)
                   .arg(p.fromCache)
                   .arg(p.failed);
    }
    if (worker_->stoppedBySite()) {
        text += QStringLiteral("（站点限流，已停止）");
    }
    if (const std::string problem = worker_->historyProblem(); !problem.empty()) {
        text += QStringLiteral("（历史记录不可用，结果未缓存）");
    }
    progressText_->setText(text);
    resume_->setVisible(!notAsked_.empty());
}

void DomainFilterWindow::copySelection() {
    const std::vector<std::string> names = domainsAt(selectedViewRows());
    if (names.empty()) {
        setStatus(QStringLiteral("请先选择域名"));
        return;
    }
    if (setup_.platform.setClipboardText(copyText(names))) {
        setStatus(QStringLiteral("已复制 %1 个域名").arg(names.size()));
    } else {
        setStatus(QStringLiteral("复制失败 .. 剪贴板不可用"));
    }
}

void DomainFilterWindow::bookSelection() {
    const std::vector<std::string> names = domainsAt(selectedViewRows());
    if (names.empty()) {
        setStatus(QStringLiteral("请先选择域名"));
        return;
    }
    if (names.size() > kAskBeforeBooking) {
        const app::MessageAnswer answer = setup_.platform.messageBox(
            bookingQuestion(names.size()), app::kMessageTitle, app::MessageButtons::YesNoCancel,
            app::MessageIcon::Information);
        if (answer != app::MessageAnswer::Yes) {
            return;
        }
    }
    std::size_t refused = 0;
    for (const std::string& url : bookingUrls(setup_.details.urls.market, names)) {
        refused += setup_.platform.openUrl(url) ? 0 : 1;
    }
    if (refused > 0) {
        setStatus(QStringLiteral("无法打开浏览器（%1 个预定页面未打开）").arg(refused));
    }
}

void DomainFilterWindow::activateRow(int viewRow) {
    if (viewRow < 0 || viewRow >= model_.shown()) {
        return;
    }
    const TableRow& row = model_.rowAt(viewRow);
    if (source_ == Source::History || row.listIndex < 0) {
        showDetails(row);
        return;
    }
    app::ListBox& list = setup_.form.List1;
    const auto index = static_cast<std::size_t>(row.listIndex);
    if (index >= list.listCount() || list.list(index) != row.domain) {
        setStatus(QStringLiteral("该域名已不在列表中"));
        return;
    }
    list.setListIndex(row.listIndex);
    if (setup_.mainWindow != nullptr) {
        setup_.mainWindow->raise();
        setup_.mainWindow->activateWindow();
    }
    // The query blocks in its own loop; run it after this event has been handled (never once
    // this window is gone: the timer is this window's).
    QTimer::singleShot(0, this, [this] {
        if (!setup_.form.ended()) {
            setup_.form.List1.DblClick.raise();
        }
    });
}

void DomainFilterWindow::showDetails(const TableRow& row) {
    paneDomain_ = row.domain;
    std::optional<DetailCells> cells;
    if (row.details) {
        cells = *row.details;
    }
    if (!cells && worker_) {
        cells = worker_->cached(row.domain);
    }
    if (!cells) {
        if (worker_ && !worker_->running() && worker_->start({row.domain})) {
            pane_->setPlainText(toQt(row.domain) + QStringLiteral("\n正在查询……"));
            batchTotal_ = 1;
            progress_->setRange(0, 1);
            progress_->setValue(0);
            progress_->show();
            batchTimer_.start();
        } else {
            pane_->setPlainText(toQt(row.domain) +
                                QStringLiteral("\n尚无查询结果（批量查询进行中，稍后再试）"));
        }
        return;
    }
    const filter::Score score = filter::scoreName(row.features, model_.scoreWeights());
    const exporting::NameRecord record{
        .domain = row.domain, .features = row.features, .details = &*cells, .score = &score};
    QString text = toQt(row.domain) + QLatin1Char('\n');
    for (const Column column : exporting::kPaneColumns) {
        const exporting::ColumnSpec& entry = exporting::specOf(column);
        text +=
            QString::fromUtf8(entry.caption.data(), static_cast<qsizetype>(entry.caption.size())) +
            QStringLiteral("：") + toQt(entry.text(record)) + QLatin1Char('\n');
    }
    pane_->setPlainText(text);
}

}  // namespace jilan::ui::filterwin

namespace jilan::ui::filterwin {

void DomainFilterWindow::reloadWatchlist() {
    loader_->cancel();
    model_.clear();
    columnsSized_ = false;
    setStatus(kReadingWatchlist);
    watchStore_->list(
        [this](std::optional<std::vector<history::WatchedName>> names, const std::string& problem) {
            if (status_->text() == kReadingWatchlist) {
                setStatus(QString());
            }
            if (!names) {
                setStatus(QStringLiteral("关注列表不可用：") + toQt(problem));
                return;
            }
            watchlistRead(*names);
            if (source_ != Source::Watchlist) {
                return;
            }
            model_.clear();
            std::vector<TableRow> rows;
            std::vector<std::string> domains;
            rows.reserve(names->size());
            for (const history::WatchedName& name : *names) {
                rows.push_back(watchedRow(name));
                domains.push_back(name.domain);
            }
            model_.append(std::move(rows));
            model_.flush();
            // Fuller details from the cache where it has them, and when the history saw them.
            loader_->lookUpDetails(std::move(domains), true);
            showEmptyHint();
        });
}

void DomainFilterWindow::watchlistRead(std::vector<history::WatchedName> names) {
    std::unordered_set<std::string> keys;
    watchlist_.clear();
    for (history::WatchedName& name : names) {
        keys.insert(name.key);
        std::string key = name.key;
        watchlist_.emplace(std::move(key), std::move(name));
    }
    model_.setWatchedNames(std::move(keys));
    // A note being typed stays as typed; otherwise the editor shows the stored one.
    const std::string editing = noteDomain_;
    if (!note_->isModified()) {
        noteDomain_.clear();
        const QModelIndex current = table_->currentIndex();
        editNoteOf(current.isValid() && current.row() < model_.shown()
                       ? model_.rowAt(current.row()).domain
                       : editing);
    }
}

void DomainFilterWindow::toggleSelectedWatched() {
    std::vector<int> rows = selectedViewRows();
    if (rows.empty() && table_->currentIndex().isValid()) {
        rows.push_back(table_->currentIndex().row());
    }
    toggleWatched(rows);
}

void DomainFilterWindow::toggleWatched(const std::vector<int>& viewRows) {
    model_.flush();
    std::vector<std::string> domains;
    std::vector<std::string> keys;
    std::size_t notDomains = 0;
    bool anyUnwatched = false;
    for (const int row : viewRows) {
        if (row < 0 || row >= model_.shown()) {
            continue;
        }
        const std::string& domain = model_.rowAt(row).domain;
        if (!base::isDomainName(domain)) {
            ++notDomains;
            continue;
        }
        std::string key = base::nameKey(domain);
        anyUnwatched = anyUnwatched || !model_.watched(key);
        domains.push_back(domain);
        keys.push_back(std::move(key));
    }
    if (domains.empty()) {
        setStatus(notDomains > 0 ? QStringLiteral("不是域名，无法关注")
                                 : QStringLiteral("请先选择域名"));
        return;
    }
    const bool watch = anyUnwatched;
    // Shown at once; put back if the store refuses.
    model_.setWatched(keys, watch);
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (watch) {
            auto [entry, added] = watchlist_.try_emplace(keys[i]);
            if (added) {
                entry->second.key = keys[i];
                entry->second.domain = domains[i];
                entry->second.addedAt = now;
            }
        } else {
            watchlist_.erase(keys[i]);
        }
    }
    // The note editor follows: a name unwatched takes its note with it.
    const QModelIndex current = table_->currentIndex();
    const std::string currentDomain = current.isValid() && current.row() < model_.shown()
                                          ? model_.rowAt(current.row()).domain
                                          : std::string();
    if (!watch && !noteDomain_.empty() &&
        std::find(keys.begin(), keys.end(), base::nameKey(noteDomain_)) != keys.end()) {
        note_->setModified(false);
    }
    saveNote();
    noteDomain_.clear();
    editNoteOf(currentDomain);
    const std::size_t count = domains.size();
    watchStore_->setWatched(
        std::move(domains), watch, now,
        [this, keys, watch, count, notDomains](const std::string& problem) {
            if (!problem.empty()) {
                model_.setWatched(keys, !watch);
                for (const std::string& key : keys) {
                    if (watch) {
                        watchlist_.erase(key);
                    }
                }
                setStatus(
                    (watch ? QStringLiteral("关注未保存：") : QStringLiteral("取消关注未保存：")) +
                    toQt(problem));
                return;
            }
            QString text = watch ? QStringLiteral("已关注 %1 个域名").arg(count)
                                 : QStringLiteral("已取消关注 %1 个域名").arg(count);
            if (notDomains > 0) {
                text += QStringLiteral("（%1 个不是域名，已跳过）").arg(notDomains);
            }
            setStatus(text);
        });
}

void DomainFilterWindow::editNoteOf(const std::string& domain) {
    if (!noteDomain_.empty() && base::nameKey(domain) == base::nameKey(noteDomain_)) {
        return;
    }
    saveNote();
    const auto found = domain.empty() ? watchlist_.end() : watchlist_.find(base::nameKey(domain));
    const QSignalBlocker quiet(note_);
    if (found == watchlist_.end()) {
        noteDomain_.clear();
        note_->clear();
        note_->setEnabled(false);
        note_->setPlaceholderText(kNotePlaceholder);
        return;
    }
    noteDomain_ = found->second.domain;
    note_->setEnabled(true);
    note_->setPlaceholderText(QStringLiteral("%1 的备注").arg(toQt(noteDomain_)));
    note_->setText(toQt(found->second.note));
    note_->setModified(false);
}

void DomainFilterWindow::saveNote() {
    if (noteDomain_.empty() || note_ == nullptr || !note_->isModified()) {
        return;
    }
    const history::CleanedNote cleaned = history::cleanNote(fromQt(note_->text()));
    if (!cleaned.problem.empty()) {
        // Refused: the text stays in the editor to shorten, and the stored note as it was.
        setStatus(QStringLiteral("备注未保存：") + toQt(cleaned.problem));
        return;
    }
    note_->setModified(false);
    if (toQt(cleaned.text) != note_->text()) {
        const QSignalBlocker quiet(note_);
        note_->setText(toQt(cleaned.text));
    }
    const std::string key = base::nameKey(noteDomain_);
    if (const auto found = watchlist_.find(key); found != watchlist_.end()) {
        found->second.note = cleaned.text;
    }
    const std::string domain = noteDomain_;
    watchStore_->setNote(domain, cleaned.text, [this, domain](const std::string& problem) {
        setStatus(problem.empty() ? QStringLiteral("已保存 %1 的备注").arg(toQt(domain))
                                  : QStringLiteral("备注未保存：") + toQt(problem));
    });
}

bool DomainFilterWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == note_ && event->type() == QEvent::FocusOut) {
        saveNote();
    } else if (watched == note_ && event->type() == QEvent::KeyPress) {
        // Ctrl+Enter saves as Enter does.
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers().testFlag(Qt::ControlModifier)) {
            saveNote();
            return true;
        }
    } else if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            toggleSelectedWatched();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace jilan::ui::filterwin

namespace jilan::ui::filterwin {

bool DomainFilterWindow::loadPushConfig() {
    std::string path = setup_.notifyConfigPath;
    if (path.empty()) {
        path = push::defaultNotifyConfigPath([](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        });
    }
    auto loaded = cli::loadNotifyConfig(path, model_.scoreWeights());
    if (const auto* message = std::get_if<std::string>(&loaded)) {
        pushConfig_.reset();
        setStatus(QStringLiteral("无法推送：") + toQt(*message));
        return false;
    }
    pushConfig_ = std::get<push::NotifyConfig>(std::move(loaded));
    if (pushConfig_->channels.empty()) {
        setStatus(
            QStringLiteral("无法推送：通知配置 %1 中没有通道（[[channel]]）").arg(toQt(path)));
        return false;
    }
    return true;
}

void DomainFilterWindow::pushSelection() {
    showPushPicker(push_->mapToGlobal(QPoint(0, push_->height())));
}

void DomainFilterWindow::showPushPicker(const QPoint& globalAt) {
    if (pushRunning()) {
        setStatus(QStringLiteral("推送进行中，请稍候"));
        return;
    }
    if (selectedViewRows().empty()) {
        setStatus(QStringLiteral("请先选择域名"));
        return;
    }
    if (!loadPushConfig()) {
        return;
    }
    if (pushMenu_ == nullptr) {
        pushMenu_ = own_.make<QMenu>(this);
        pushMenu_->setObjectName(QStringLiteral("pushMenu"));
    }
    pushMenu_->clear();
    for (const push::Channel& channel : pushConfig_->channels) {
        const std::string caption =
            channel.name + "（" + std::string(push::limitsOf(channel.type).label) + "）";
        QAction* action = pushMenu_->addAction(toQt(caption));
        action->setData(toQt(channel.name));
        connect(action, &QAction::triggered, this,
                [this, name = channel.name] { pushSelectionTo(name); });
    }
    pushMenu_->popup(globalAt);
}

void DomainFilterWindow::pushSelectionTo(const std::string& channelName) {
    if (pushRunning()) {
        setStatus(QStringLiteral("推送进行中，请稍候"));
        return;
    }
    const std::vector<int> viewRows = selectedViewRows();
    if (viewRows.empty()) {
        setStatus(QStringLiteral("请先选择域名"));
        return;
    }
    if (!pushConfig_ && !loadPushConfig()) {
        return;
    }
    const push::Channel* channel = pushConfig_->channel(channelName);
    if (channel == nullptr) {
        setStatus(QStringLiteral("无法推送：通知配置中没有通道“%1”").arg(toQt(channelName)));
        return;
    }
    std::vector<const TableRow*> rows;
    rows.reserve(viewRows.size());
    for (const int row : viewRows) {
        rows.push_back(&model_.rowAt(row));
    }
    std::vector<push::DigestEntry> entries = selectionEntries(rows, model_.scoreWeights());
    const QDateTime now = QDateTime::currentDateTime();
    const std::string date = fromQt(now.toString(QStringLiteral("yyyy-MM-dd")));
    std::vector<push::Message> messages = selectionMessages(entries, date, *channel);
    pushChannel_ = *channel;
    pushNames_ = rows.size();
    pushRedactor_ = push::redactorOf(*pushConfig_);
    pushTask_ = std::make_unique<push::PushTask>(
        *channel, kSelectionDigest, fromQt(now.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
        std::move(entries), std::move(messages), push::standardSender({}), setup_.pushTiming);
    push_->setEnabled(false);
    setStatus(toQt(
        pushRedactor_.apply(pushProgressText(pushChannel_, pushNames_, pushTask_->progress()))));
    pushTimer_.start();
}

void DomainFilterWindow::pollPush() {
    if (!pushTask_) {
        pushTimer_.stop();
        return;
    }
    if (pushTask_->running()) {
        setStatus(toQt(pushRedactor_.apply(
            pushProgressText(pushChannel_, pushNames_, pushTask_->progress()))));
        return;
    }
    pushTimer_.stop();
    push_->setEnabled(true);
    setStatus(toQt(pushOutcomeText(pushChannel_, pushNames_, pushTask_->outcome(), pushRedactor_)));
    pushTask_.reset();
}

}  // namespace jilan::ui::filterwin
