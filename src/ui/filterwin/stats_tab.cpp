#include "stats_tab.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMetaObject>
#include <QPieSeries>
#include <QPointer>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <utility>

#include "program/history_filter.h"
#include "ui/model_conversions.h"

namespace jilan::ui::filterwin {

namespace {

// Suffixes with a slice of their own; the rest share one.
constexpr std::size_t kSuffixSlices = 8;

// The chart of a view, emptied of its series and axes for a new drawing.
QChart* emptied(QChartView* view, const QString& title) {
    QChart* chart = view->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        std::unique_ptr<QAbstractAxis> released(axis);
    }
    chart->setTitle(title);
    return chart;
}

// Hands a bar series to the chart with a category axis below and a count axis from 0 to
// `highest` on the left; the category axis, for callers that style its labels.
QBarCategoryAxis* addBars(QChart& chart, std::unique_ptr<QAbstractBarSeries> series,
                          const QStringList& categories, std::int64_t highest) {
    QAbstractBarSeries* raw = series.get();
    chart.addSeries(series.release());
    auto x = std::make_unique<QBarCategoryAxis>();
    x->append(categories);
    auto y = std::make_unique<QValueAxis>();
    y->setRange(0, static_cast<qreal>(std::max<std::int64_t>(highest, 1)));
    y->setLabelFormat(QStringLiteral("%d"));
    QBarCategoryAxis* categoryAxis = x.get();
    chart.addAxis(x.get(), Qt::AlignBottom);
    raw->attachAxis(x.release());
    chart.addAxis(y.get(), Qt::AlignLeft);
    raw->attachAxis(y.release());
    return categoryAxis;
}

QString dayLabel(std::int64_t day) {
    // MM-DD: the year is in the summary line.
    return toQt(history::dateOfDay(day).substr(5));
}

}  // namespace

StatsTab::StatsTab(std::string storePath, app::Platform& platform, QWidget* parent, UtcClock nowUtc)
    : QWidget(parent),
      path_(std::move(storePath)),
      platform_(platform),
      nowUtc_(nowUtc ? std::move(nowUtc) : [] { return QDateTime::currentSecsSinceEpoch(); }),
      worker_(path_) {
    auto* layout = own_.make<QVBoxLayout>(this);
    layout->setContentsMargins(0, 6, 0, 0);

    auto* controls = own_.make<QWidget>(this);
    auto* row = own_.make<QHBoxLayout>(controls);
    row->setContentsMargins(0, 0, 0, 0);
    daysBox_ = own_.make<QComboBox>(controls);
    daysBox_->setObjectName(QStringLiteral("statsDays"));
    daysBox_->addItem(QStringLiteral("最近 30 天"), 30);
    daysBox_->addItem(QStringLiteral("最近 90 天"), 90);
    connect(daysBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setDays(daysBox_->itemData(index).toInt()); });
    row->addWidget(daysBox_);
    summary_ = own_.make<QLabel>(controls);
    summary_->setObjectName(QStringLiteral("statsSummary"));
    summary_->setTextFormat(Qt::PlainText);
    row->addWidget(summary_, 1);
    export_ = own_.make<QPushButton>(QStringLiteral("导出图片…"), controls);
    export_->setObjectName(QStringLiteral("statsExport"));
    connect(export_, &QPushButton::clicked, this, &StatsTab::exportPng);
    row->addWidget(export_);
    layout->addWidget(controls);

    charts_ = own_.make<QWidget>(this);
    auto* grid = own_.make<QGridLayout>(charts_);
    grid->setContentsMargins(0, 0, 0, 0);
    daily_ = own_.make<QChartView>(charts_);
    daily_->setObjectName(QStringLiteral("dailyChart"));
    suffixes_ = own_.make<QChartView>(charts_);
    suffixes_->setObjectName(QStringLiteral("suffixChart"));
    scores_ = own_.make<QChartView>(charts_);
    scores_->setObjectName(QStringLiteral("scoreChart"));
    for (QChartView* view : {daily_, suffixes_, scores_}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->chart()->legend()->setAlignment(Qt::AlignBottom);
        view->setMinimumHeight(160);
    }
    grid->addWidget(daily_, 0, 0, 1, 2);
    grid->addWidget(suffixes_, 1, 0);
    grid->addWidget(scores_, 1, 1);
    grid->setRowStretch(0, 3);
    grid->setRowStretch(1, 2);
    layout->addWidget(charts_, 1);
    summary_->setText(QStringLiteral("统计中…"));
}

StatsTab::~StatsTab() = default;

void StatsTab::setFilter(const RowFilter& filter) {
    filter_ = filter;
    dirty_ = true;
    if (isVisible()) {
        recompute();
    }
}

void StatsTab::setDays(int days) {
    if (days == days_) {
        return;
    }
    days_ = days;
    const int index = daysBox_->findData(days);
    if (index >= 0 && index != daysBox_->currentIndex()) {
        daysBox_->setCurrentIndex(index);
    }
    dirty_ = true;
    if (isVisible()) {
        recompute();
    }
}

void StatsTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (dirty_) {
        recompute();
    }
}

void StatsTab::recompute() {
    dirty_ = false;
    const std::uint64_t generation = ++pending_;
    if (path_.empty()) {
        history::NameStats none;
        none.error = "历史记录已关闭";
        show(generation, std::move(none));
        return;
    }
    const std::int64_t today = history::beijingDay(nowUtc_());
    summary_->setText(QStringLiteral("统计中…"));
    // The result comes back through the event loop; a tab gone by then takes nothing.
    QPointer<StatsTab> self(this);
    worker_.compute(
        program::statsRequestFor({filter_.line, filter_.toggles}, today - days_ + 1, today),
        [self, generation](history::NameStats stats) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, generation, stats = std::move(stats)]() mutable {
                    if (self) {
                        self->show(generation, std::move(stats));
                    }
                },
                Qt::QueuedConnection);
        });
}

void StatsTab::show(std::uint64_t generation, history::NameStats stats) {
    if (generation != pending_) {
        return;  // overtaken by a newer filter or range
    }
    shown_ = generation;
    stats_ = std::move(stats);
    if (!stats_.ok()) {
        summary_->setText(toQt("无法统计：" + stats_.error));
    } else {
        const std::int64_t lastDay =
            stats_.firstDay + static_cast<std::int64_t>(stats_.perDay.size()) - 1;
        summary_->setText(toQt("北京时间 " + history::dateOfDay(stats_.firstDay) + " 至 " +
                               history::dateOfDay(lastDay) + " 新出现 " +
                               std::to_string(stats_.total) + " 个域名"));
    }
    drawDaily();
    drawSuffixes();
    drawScores();
    Q_EMIT statsShown();
}

void StatsTab::drawDaily() {
    QChart* chart = emptied(daily_, QStringLiteral("每日新出现的域名（按类别）"));
    if (!stats_.ok()) {
        return;
    }
    auto series = std::make_unique<QStackedBarSeries>();
    for (std::size_t k = 0; k < stats_.kinds.size(); ++k) {
        auto set = std::make_unique<QBarSet>(toQt(stats_.kinds[k]));
        for (const auto& day : stats_.perDay) {
            *set << static_cast<qreal>(day[k]);
        }
        series->append(set.release());
    }
    QStringList days;
    std::int64_t highest = 0;
    for (std::size_t d = 0; d < stats_.perDay.size(); ++d) {
        days << dayLabel(stats_.firstDay + static_cast<std::int64_t>(d));
        std::int64_t sum = 0;
        for (const std::int64_t n : stats_.perDay[d]) {
            sum += n;
        }
        highest = std::max(highest, sum);
    }
    addBars(*chart, std::move(series), days, highest)->setLabelsAngle(-90);
}

void StatsTab::drawSuffixes() {
    QChart* chart = emptied(suffixes_, QStringLiteral("后缀占比"));
    if (!stats_.ok() || stats_.total == 0) {
        return;
    }
    auto series = std::make_unique<QPieSeries>();
    std::int64_t rest = 0;
    for (std::size_t i = 0; i < stats_.suffixes.size(); ++i) {
        const history::SuffixCount& s = stats_.suffixes[i];
        if (i < kSuffixSlices) {
            series->append(toQt(s.tld.empty() ? "（无）" : s.tld), static_cast<qreal>(s.names));
        } else {
            rest += s.names;
        }
    }
    if (rest > 0) {
        series->append(QStringLiteral("其他"), static_cast<qreal>(rest));
    }
    for (QPieSlice* slice : series->slices()) {
        slice->setLabel(QStringLiteral("%1 %2%")
                            .arg(slice->label())
                            .arg(100.0 * slice->percentage(), 0, 'f', 1));
    }
    chart->addSeries(series.release());
    chart->legend()->setAlignment(Qt::AlignRight);
}

void StatsTab::drawScores() {
    QChart* chart = emptied(scores_, QStringLiteral("评分分布"));
    if (!stats_.ok()) {
        return;
    }
    if (!stats_.hasScores()) {
        chart->setTitle(QStringLiteral("评分分布（没有评分）"));
        return;
    }
    auto set = std::make_unique<QBarSet>(QStringLiteral("域名数"));
    QStringList bands;
    std::int64_t highest = 0;
    for (int b = 0; b < history::kScoreBands; ++b) {
        const std::int64_t n = stats_.scoreBands[static_cast<std::size_t>(b)];
        *set << static_cast<qreal>(n);
        highest = std::max(highest, n);
        bands << QStringLiteral("%1-%2").arg(b * 10).arg(
            b == history::kScoreBands - 1 ? 100 : b * 10 + 9);
    }
    auto series = std::make_unique<QBarSeries>();
    series->append(set.release());
    addBars(*chart, std::move(series), bands, highest);
    chart->legend()->hide();
}

void StatsTab::exportPng() {
    const std::optional<std::string> path =
        platform_.saveFileDialog("导出统计图", "PNG 图片 (*.png)|*.png", "统计.png");
    if (!path) {
        return;
    }
    std::string target = *path;
    if (!toQt(target).endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        target += ".png";
    }
    if (!charts_->grab().toImage().save(toQt(target), "PNG")) {
        platform_.messageBox("无法写入 " + target, app::kMessageTitle, app::MessageButtons::Ok,
                             app::MessageIcon::Warning);
        return;
    }
    summary_->setText(toQt("已导出：" + target));
}

}  // namespace jilan::ui::filterwin
