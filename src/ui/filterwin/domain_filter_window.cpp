#include "domain_filter_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "base/name_key.h"
#include "table_actions.h"
#include "table_cell_delegate.h"
#include "ui/model_conversions.h"

namespace jilan::ui::filterwin {

namespace {

// The main window's interface font: 9 points, 12 pixels at 96 dpi.
constexpr int kFontPixels = 12;
constexpr int kHistoryDaysByDefault = 7;
constexpr int kBatchPollMs = 100;
constexpr int kLookupDelayMs = 200;
constexpr int kSuffixRefreshMs = 500;
constexpr int kNewNamesRefreshMs = 1000;
// Columns are sized from this many rows, never from all of them.
constexpr int kColumnSampleRows = 50;
constexpr int kWidestColumn = 260;

QString durationText(std::chrono::seconds left) {
    const auto s = left.count();
    if (s >= 3600) {
        return QStringLiteral("%1 小时 %2 分").arg(s / 3600).arg((s % 3600) / 60);
    }
    if (s >= 60) {
        return QStringLiteral("%1 分 %2 秒").arg(s / 60).arg(s % 60);
    }
    return QStringLiteral("%1 秒").arg(s);
}

std::int64_t localMidnightUtc(const QDate& date) {
    return QDateTime(date, QTime(0, 0)).toSecsSinceEpoch();
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
    worker_ = std::make_shared<details::DetailWorker>(setup_.details);
    loader_ = std::make_unique<HistoryLoader>(
        setup_.details.historyPath,
        [weak = std::weak_ptr<details::DetailWorker>(worker_)](
            const std::string& domain) -> std::optional<DetailCells> {
            const auto worker = weak.lock();
            return worker ? worker->cached(domain) : std::nullopt;
        },
        std::move(callbacks));

    build();
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
            [this] { loader_->lookUpDetails(std::exchange(pendingLookups_, {})); });
    suffixTimer_.setInterval(kSuffixRefreshMs);
    connect(&suffixTimer_, &QTimer::timeout, this,
            [this] { bar_->setSuffixes(model_.suffixCounts()); });
    newNamesTimer_.setInterval(kNewNamesRefreshMs);
    connect(&newNamesTimer_, &QTimer::timeout, this, &DomainFilterWindow::refreshNewNames);
    batchTimer_.setInterval(kBatchPollMs);
    connect(&batchTimer_, &QTimer::timeout, this, &DomainFilterWindow::pollBatch);

    connect(&model_, &DomainTableModel::shownChanged, this, &DomainFilterWindow::rowsShown);
    connect(bar_, &FilterBar::filterChanged, this,
            [this](const RowFilter& filter) { model_.setFilter(filter); });

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
    reloadCurrentList();
    rowsShown();
}

DomainFilterWindow::~DomainFilterWindow() {
    listAppended_.disconnect();
    listCleared_.disconnect();
    loader_.reset();
    worker_.reset();
}

void DomainFilterWindow::build() {
    auto* layout = own_.make<QVBoxLayout>(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(buildSourceRow());

    bar_ = own_.make<FilterBar>(this);
    bar_->setScoreWeights(setup_.scoreWeights);
    layout->addWidget(bar_);

    auto* split = own_.make<QSplitter>(Qt::Vertical, this);
    table_ = own_.make<QTableView>(split);
    table_->setObjectName(QStringLiteral("domainTable"));
    table_->setModel(&model_);
    table_->setItemDelegate(own_.make<TableCellDelegate>(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
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

    pane_ = own_.make<QPlainTextEdit>(split);
    pane_->setObjectName(QStringLiteral("detailsPane"));
    pane_->setReadOnly(true);
    pane_->setPlaceholderText(QStringLiteral("在历史记录中双击域名，在此查看其查询结果"));
    split->addWidget(pane_);
    split->setStretchFactor(0, 5);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    layout->addWidget(buildActionRow());

    status_ = own_.make<QLabel>(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setTextFormat(Qt::PlainText);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    auto* copy = own_.make<QShortcut>(QKeySequence::Copy, table_);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &DomainFilterWindow::copySelection);
    auto* save = own_.make<QShortcut>(QKeySequence(QStringLiteral("Ctrl+S")), this);
    connect(save, &QShortcut::activated, this, &DomainFilterWindow::exportRows);
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
            [this](int index) { setSource(index == 1 ? Source::History : Source::CurrentList); });
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
    layout->addStretch(1);

    const auto button = [&](const char* caption, const char* name,
                            void (DomainFilterWindow::*act)()) {
        auto* b = own_.make<QPushButton>(QString::fromUtf8(caption), row);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, act);
        layout->addWidget(b);
        return b;
    };
    button("导出", "exportButton", &DomainFilterWindow::exportRows)
        ->setToolTip(QStringLiteral("Ctrl+S：导出所选（两行以上）或全部显示的域名"));
    batch_ = button("批量查询", "batchButton", &DomainFilterWindow::startBatch);
    batch_->setToolTip(QStringLiteral("查询所选（两行以上）或全部显示域名的删除时间、价格与备案"));
    button("复制", "copyButton", &DomainFilterWindow::copySelection)
        ->setToolTip(QStringLiteral("Ctrl+C：复制所选域名，每行一个"));
    button("预定", "bookButton", &DomainFilterWindow::bookSelection)
        ->setToolTip(QStringLiteral("在浏览器中打开所选域名的预定页面"));
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
    batchTimer_.stop();
    loader_->cancel();
    if (worker_) {
        worker_->stop();
        worker_.reset();  // joins; the names it finished stay in the cache
    }
    close();
}

void DomainFilterWindow::closeEvent(QCloseEvent* event) {
    // Hidden, not destroyed: the rows, the filter and a running batch stay.
    event->accept();
}

void DomainFilterWindow::showEvent(QShowEvent* event) {
    model_.setHeld(false);
    QWidget::showEvent(event);
}

void DomainFilterWindow::hideEvent(QHideEvent* event) {
    // Hidden (closed or minimised): the rows go on arriving but the table is not kept up.
    model_.setHeld(true);
    QWidget::hideEvent(event);
}

void DomainFilterWindow::setSource(Source source) {
    if (source == source_) {
        return;
    }
    source_ = source;
    {
        const QSignalBlocker quiet(sourceBox_);
        sourceBox_->setCurrentIndex(source == Source::History ? 1 : 0);
    }
    since_->setEnabled(source == Source::History);
    until_->setEnabled(source == Source::History);
    pane_->clear();
    paneDomain_.clear();
    if (source == Source::History) {
        reloadHistory();
    } else {
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
    loader_->lookUpDetails(std::move(names));
    refreshNewNames();
}

void DomainFilterWindow::reloadHistory() {
    model_.clear();
    columnsSized_ = false;
    QDate since = since_->date();
    QDate until = until_->date();
    if (until < since) {
        std::swap(since, until);
    }
    setStatus(QStringLiteral("正在读取历史记录……"));
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
    if (!columnsSized_ && model_.shown() > 0) {
        sizeColumns();
    }
    if (!suffixTimer_.isActive()) {
        suffixTimer_.start();
    }
}

void DomainFilterWindow::sizeColumns() {
    columnsSized_ = true;
    const QFontMetrics metrics = table_->fontMetrics();
    const int rows = std::min(model_.shown(), kColumnSampleRows);
    const int padding = 18;
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
        table_->setColumnWidth(column, std::min(width, kWidestColumn));
    }
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
    const std::vector<int> targets = exportTargets(selectedViewRows(), model_.shown());
    if (targets.empty()) {
        setStatus(QStringLiteral("没有可导出的域名"));
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
    if (const io::WriteStatus failed = filterwin::exportRows(target, rows)) {
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

void DomainFilterWindow::startBatch() {
    model_.flush();
    if (batchRunning()) {
        return;
    }
    std::vector<std::string> names = domainsAt(exportTargets(selectedViewRows(), model_.shown()));
    if (names.empty()) {
        setStatus(QStringLiteral("没有可查询的域名"));
        return;
    }
    batchTotal_ = names.size();
    if (!worker_ || !worker_->start(std::move(names))) {
        return;
    }
    paneDomain_.clear();
    progress_->setRange(0, static_cast<int>(batchTotal_));
    progress_->setValue(0);
    progress_->show();
    stop_->show();
    stop_->setEnabled(true);
    batch_->setEnabled(false);
    progressText_->setText(QStringLiteral("正在查询……"));
    setStatus(QString());
    batchTimer_.start();
}

void DomainFilterWindow::stopBatch() {
    if (worker_) {
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
        found.emplace_back(result.domain, result);
        if (!paneDomain_.empty() && base::nameKey(result.domain) == base::nameKey(paneDomain_)) {
            TableRow shown = makeRow(result.domain, -1);
            shown.setDetails(result);
            showDetails(shown);
        }
    }
    model_.setDetails(found);
    const details::DetailProgress p = worker_->progress();
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
    QString text = QStringLiteral("批量查询结束：完成 %1 / %2，缓存 %3，失败 %4")
                       .arg(p.done)
                       .arg(p.total)
                       .arg(p.fromCache)
                       .arg(p.failed);
    if (worker_->stoppedBySite()) {
        text += QStringLiteral("（站点限流，已停止）");
    }
    if (const std::string problem = worker_->historyProblem(); !problem.empty()) {
        text += QStringLiteral("（历史记录不可用，结果未缓存）");
    }
    progressText_->setText(text);
}

void DomainFilterWindow::copySelection() {
    const std::vector<std::string> names = domainsAt(selectedViewRows());
    if (names.empty()) {
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
    for (const std::string& url : bookingUrls(setup_.details.urls.market, names)) {
        (void)setup_.platform.openUrl(url);
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
    std::optional<DetailCells> cells = row.details;
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
