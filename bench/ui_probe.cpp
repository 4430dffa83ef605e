// ui_probe: the program's window, set up as jilan-harvester sets it up, measured offscreen.
//
//   QT_QPA_PLATFORM=offscreen ui_probe --market-url URL [--pages N] [--launched-ns NS]
//                                      [--history FILE]  (each page recorded there, as with
//                                      the program's default history; without it, none)
//   QT_QPA_PLATFORM=offscreen ui_probe --market-url URL --idle-ms MS
//   QT_QPA_PLATFORM=offscreen ui_probe --market-url URL --startup-only [--launched-ns NS]
//   QT_QPA_PLATFORM=offscreen ui_probe --market-url URL --filter-window [--pages N]
//
// Prints, one "name=value" a line:
//   startup_ms         process start (NS, nanoseconds since the epoch, as `date +%s%N` gives it;
//                      else the kernel's start time of the process) to the end of the window's
//                      first paint
//   max_tick_gap_ms    longest gap between ticks of a 5 ms probe timer while the start button
//                      runs a batch of N pages (default 100)
//   batch_ms, batch_entries
//   show_100000_ms     100 000 entries appended through the row loop (2 000 listing texts, one
//                      jx each) with the window following, up to the end of the next paint
//   export_100000_ms   those entries written with the atomic export
//   show_gave_up_ms, show_gave_up_entries   instead of the last two when the appends took
//                      longer than 10 s: the entries appended by then
// With --idle-ms, after start-up only:
//   idle_cpu_pct       CPU time of the process, in % of one core, over MS milliseconds while a
//                      single-page harvest waits for a marketplace that never answers
// With --filter-window, instead of the measures after the batch:
//   filter_window_harvest_max_tick_gap_ms   the gap during the batch of pages alone
//   filter_window_max_tick_gap_ms   the same gap, also over 5 s after it, while the 域名筛选 window
//   is open on 当前列表,
//                      the batch feeds it, and a 批量查询 started once 50 names are listed fills
//                      its cells (ICP look-ups go to the same address, under /icp/)
//   filter_window_rows, filter_window_queried   rows in the table, names answered by then
// With --trace-events, also the 10 longest stretches the event loop spent in one event's own
// code (time in events it dispatched itself not counted), as "slow_event=MS TYPE RECEIVER":
// what to look at when a gap is too long.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include <curl/curl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "app/form1.h"
#include "app/work_array.h"
#include "harvest/listing_parser.h"
#include "listactions/list_actions.h"
#include "market_sim.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "ui/desktop_program.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"
#include "ui/translations.h"

namespace {

using Clock = std::chrono::steady_clock;

// libcurl's process-wide state, set up and torn down once.
struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
};

// How long the large-list measure may run before it gives up.
constexpr double kListBudgetMs = 10'000;
// How long the probe goes on after the harvest while a batch query fills the 域名筛选 window.
constexpr int kFillWatchMs = 5'000;

double realtimeMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The process's start as a CLOCK_REALTIME millisecond, from its start time after boot.
double processStartMs() {
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return realtimeMs();
    }
    // Field 22 (starttime) is the 20th after the command's closing parenthesis.
    const char* p = stat.c_str() + close + 1;
    char* end = nullptr;
    unsigned long long startTicks = 0;
    for (int field = 3; field <= 22; ++field) {
        startTicks = std::strtoull(p, &end, 10);
        if (field < 22) {
            while (*p == ' ') {
                ++p;
            }
            while (*p != ' ' && *p != '\0') {
                ++p;
            }
        }
    }
    timespec boot{};
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    const double sinceBootMs =
        static_cast<double>(boot.tv_sec) * 1e3 + static_cast<double>(boot.tv_nsec) / 1e6;
    const double startedMs =
        static_cast<double>(startTicks) * 1e3 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return realtimeMs() - (sinceBootMs - startedMs);
}

// User + system CPU time of the whole process so far.
double cpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double msSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Quits `loop` once the watched widget has finished its first paint.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QEventLoop& loop) : loop_(loop) {}
    bool painted() const { return painted_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            // Runs once the paint being delivered now is done.
            QTimer::singleShot(0, &loop_, &QEventLoop::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop& loop_;
    bool painted_ = false;
};

// Dispatches every event as QApplication does, and with tracing on keeps, per kind of event
// and receiver, the longest stretch spent in that event's own code: a nested event loop (the
// harvest's fetch pumps events) ends one stretch and starts the next.
class TracingApplication : public QApplication {
public:
    using QApplication::QApplication;
    void setTracing(bool on) { tracing_ = on; }

    bool notify(QObject* receiver, QEvent* event) override {
        if (!tracing_) {
            return QApplication::notify(receiver, event);
        }
        const auto entered = Clock::now();
        if (!frames_.empty()) {
            closeStretch(frames_.back(), entered);
        }
        frames_.push_back({describe(receiver, event), entered, 0});
        const bool handled = QApplication::notify(receiver, event);
        const auto left = Clock::now();
        closeStretch(frames_.back(), left);
        double& longest = longest_[frames_.back().what];
        longest = std::max(longest, frames_.back().longestMs);
        frames_.pop_back();
        if (!frames_.empty()) {
            frames_.back().resumed = left;
        }
        return handled;
    }

    void printSlowest(int count) const {
        std::vector<std::pair<double, std::string>> slow;
        for (const auto& [what, ms] : longest_) {
            slow.emplace_back(ms, what);
        }
        std::sort(slow.rbegin(), slow.rend());
        for (int i = 0; i < count && i < static_cast<int>(slow.size()); ++i) {
            std::printf("slow_event=%.1f %s\n", slow[static_cast<std::size_t>(i)].first,
                        slow[static_cast<std::size_t>(i)].second.c_str());
        }
    }

    // The stretches of a millisecond or more that ended after `since`, oldest first.
    std::vector<std::pair<double, std::string>> stretchesSince(Clock::time_point since) const {
        std::vector<std::pair<double, std::string>> found;
        for (const Stretch& stretch : recent_) {
            if (stretch.ended > since) {
                found.emplace_back(stretch.ms, stretch.what);
            }
        }
        return found;
    }

private:
    struct Frame {
        std::string what;
        Clock::time_point resumed;
        double longestMs;
    };

    struct Stretch {
        Clock::time_point ended;
        double ms;
        std::string what;
    };

    void closeStretch(Frame& frame, Clock::time_point now) {
        const double ms = std::chrono::duration<double, std::milli>(now - frame.resumed).count();
        frame.longestMs = std::max(frame.longestMs, ms);
        if (ms >= 1.0) {
            recent_.push_back({now, ms, frame.what});
            if (recent_.size() > kRecentStretches) {
                recent_.erase(recent_.begin());
            }
        }
    }

    static constexpr std::size_t kRecentStretches = 64;

    static std::string describe(QObject* receiver, QEvent* event) {
        std::string what = std::to_string(static_cast<int>(event->type()));
        what += ' ';
        what += receiver->metaObject()->className();
        if (!receiver->objectName().isEmpty()) {
            what += '/';
            what += receiver->objectName().toStdString();
        }
        // A view's viewport or scroll bar, a model's timer: named by whose it is (Qt's own
        // containers, "qt_...", skipped).
        const QObject* owner = receiver->parent();
        while (owner != nullptr && (owner->objectName().isEmpty() ||
                                    owner->objectName().startsWith(QStringLiteral("qt_")))) {
            owner = owner->parent();
        }
        if (owner != nullptr) {
            what += " in ";
            what += owner->objectName().toStdString();
        }
        return what;
    }

    bool tracing_ = false;
    std::vector<Frame> frames_;
    std::map<std::string, double> longest_;
    std::vector<Stretch> recent_;
};

struct Arguments {
    std::string marketUrl;
    int pages = 100;
    double launchedMs = 0;
    int idleMs = 0;
    bool startupOnly = false;
    bool filterWindow = false;
    bool traceEvents = false;
    std::string history;  // --history FILE: record the batch as the program does (off without)
};

Arguments parseArguments(const QStringList& args) {
    Arguments parsed;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--startup-only")) {
            parsed.startupOnly = true;
            continue;
        }
        if (args[i] == QStringLiteral("--filter-window")) {
            parsed.filterWindow = true;
            continue;
        }
        if (args[i] == QStringLiteral("--trace-events")) {
            parsed.traceEvents = true;
            continue;
        }
        if (i + 1 == args.size()) {
            break;
        }
        const std::string value = args[++i].toStdString();
        if (args[i - 1] == QStringLiteral("--market-url")) {
            parsed.marketUrl = value;
        } else if (args[i - 1] == QStringLiteral("--history")) {
            parsed.history = value;
        } else if (args[i - 1] == QStringLiteral("--pages")) {
            parsed.pages = std::max(2, std::atoi(value.c_str()));
        } else if (args[i - 1] == QStringLiteral("--idle-ms")) {
            parsed.idleMs = std::max(0, std::atoi(value.c_str()));
        } else if (args[i - 1] == QStringLiteral("--launched-ns")) {
            parsed.launchedMs = std::strtod(value.c_str(), nullptr) / 1e6;
        }
    }
    return parsed;
}

std::vector<std::string> listingTexts(int pages) {
    jilan::sim::Options options;
    options.pages = pages;
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(pages));
    for (int page = 1; page <= pages; ++page) {
        const std::string text = jilan::sim::listingPage(options, page);
        texts.emplace_back(jilan::harvest::listingText(jilan::harvest::textAfterBooking(text)));
    }
    return texts;
}

}  // namespace

int main(int argc, char** argv) {
    const double startedMs = processStartMs();
    // As in jilan-harvester: libcurl's global state before any transfer thread starts.
    const CurlGlobal curl;
    TracingApplication qtApp(argc, argv);
    const Arguments args = parseArguments(QCoreApplication::arguments());
    if (args.marketUrl.empty()) {
        std::fprintf(stderr,
                     "usage: ui_probe --market-url URL [--pages N | --idle-ms MS | "
                     "--startup-only] [--launched-ns NS]\n");
        return 2;
    }

    // The window as the program builds it (see src/ui/main.cpp).
    jilan::config::Urls urls = jilan::config::defaultUrls();
    urls.market = args.marketUrl;
    if (args.filterWindow) {
        urls.icp = args.marketUrl + "/icp/";
    }
    jilan::ui::DesktopProgram program(jilan::program::AppOptions{urls, {}, args.history});
    program.load();
    jilan::ui::MainWindow& window = program.window();
    jilan::app::Form1& form = program.form();
    window.centreOnScreen();

    QEventLoop loop;
    FirstPaint firstPaint(loop);
    window.installEventFilter(&firstPaint);
    window.show();
    if (!firstPaint.painted()) {
        loop.exec();
    }
    const double shownMs = realtimeMs();
    window.removeEventFilter(&firstPaint);
    std::printf("startup_ms=%.1f\n", shownMs - (args.launchedMs > 0 ? args.launchedMs : startedMs));
    std::fflush(stdout);
    if (args.startupOnly) {
        return 0;
    }

    if (args.idleMs > 0) {
        // A single-page harvest against a marketplace that never answers: the window waits in
        // the fetch, pumping its events. The CPU it uses is measured from one second in.
        double cpu0 = 0;
        Clock::time_point wall0;
        QTimer::singleShot(1000, [&] {
            cpu0 = cpuMs();
            wall0 = Clock::now();
        });
        QTimer::singleShot(1000 + args.idleMs, [&] {
            std::printf("idle_cpu_pct=%.2f\n", 100.0 * (cpuMs() - cpu0) / msSince(wall0));
            std::fflush(stdout);
            // Ends the wait: the fetch is abandoned and the click handler returns.
            form.end();
        });
        QTimer::singleShot(0, [&] {
            form.Text1.setText("1");
            form.Command1.click();
            loop.quit();
        });
        loop.exec();
        return 0;
    }

    // A batch started with the button, with a 5 ms timer ticking beside it.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    Clock::time_point lastTick = Clock::now();
    double maxGapMs = 0;
    bool started = false;
    // With the 域名筛选 window: opened before the batch, its 批量查询 pressed at 50 names.
    jilan::ui::filterwin::DomainFilterWindow* filterWindow =
        args.filterWindow ? &program.openFilterWindow() : nullptr;
    if (filterWindow != nullptr) {
        // Its first paint (fonts loaded, columns sized) is done before the probe starts.
        FirstPaint filterPainted(loop);
        filterWindow->installEventFilter(&filterPainted);
        if (!filterPainted.painted()) {
            loop.exec();
        }
        filterWindow->removeEventFilter(&filterPainted);
    }
    bool batchQueryStarted = false;
    bool harvestDone = false;
    const auto batchStart = Clock::now();
    std::vector<std::pair<double, std::string>> longestGapStretches;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (msSince(lastTick) > maxGapMs) {
            maxGapMs = msSince(lastTick);
            longestGapStretches = qtApp.stretchesSince(lastTick);
        }
        lastTick = Clock::now();
        if (filterWindow != nullptr && !batchQueryStarted && form.List1.listCount() >= 50) {
            batchQueryStarted = true;
            filterWindow->findChild<QPushButton*>(QStringLiteral("batchButton"))->click();
        }
        if (started && !harvestDone && !form.Timer1.enabled() &&
            form.Command1.caption() == jilan::app::kStartCaption) {
            loop.quit();
        }
    });
    QTimer::singleShot(0, [&] {
        form.Text1.setText(std::to_string(args.pages));
        form.Command1.click();
        started = true;
    });
    lastTick = Clock::now();
    qtApp.setTracing(args.traceEvents);
    probe.start();
    loop.exec();
    probe.stop();
    std::printf("max_tick_gap_ms=%.1f\nbatch_ms=%.0f\nbatch_entries=%zu\n", maxGapMs,
                msSince(batchStart), form.List1.listCount());
    std::printf("batch_status=%s\n", form.status().c_str());
    if (filterWindow != nullptr) {
        // The harvest of 100 pages takes about a second: the batch query goes on filling cells
        // for a further few seconds with the probe still ticking.
        const double harvestGapMs = maxGapMs;
        harvestDone = true;
        probe.start();
        QTimer::singleShot(kFillWatchMs, &loop, &QEventLoop::quit);
        loop.exec();
        probe.stop();
        std::printf("filter_window_harvest_max_tick_gap_ms=%.1f\n", harvestGapMs);
        const QLabel* count = filterWindow->findChild<QLabel*>(QStringLiteral("countLabel"));
        const QLabel* progress = filterWindow->findChild<QLabel*>(QStringLiteral("batchText"));
        std::printf(
            "filter_window_max_tick_gap_ms=%.1f\nfilter_window_rows=%s\n"
            "filter_window_queried=%s\n",
            maxGapMs, count->text().toStdString().c_str(), progress->text().toStdString().c_str());
        if (args.traceEvents) {
            qtApp.printSlowest(10);
            for (const auto& [ms, what] : longestGapStretches) {
                std::printf("longest_gap_event=%.1f %s\n", ms, what.c_str());
            }
        }
        std::fflush(stdout);
        return 0;
    }
    std::fflush(stdout);

    // 100 000 entries through the row loop with the window following, then the export.
    const std::vector<std::string> texts = listingTexts(2000);
    form.List1.clear();
    QCoreApplication::processEvents();
    const auto appendStart = Clock::now();
    for (const std::string& text : texts) {
        form.sj[jilan::app::Slot::ListingText] = text;
        program.application().harvester().jx();
        if (msSince(appendStart) > kListBudgetMs) {
            // Far off the target already: say how far it got instead of waiting.
            std::printf("show_gave_up_ms=%.0f\nshow_gave_up_entries=%zu\n", kListBudgetMs,
                        form.List1.listCount());
            return 0;
        }
    }
    FirstPaint listPainted(loop);
    window.installEventFilter(&listPainted);
    window.update();
    if (!listPainted.painted()) {
        loop.exec();
    }
    const double shownListMs = msSince(appendStart);
    window.removeEventFilter(&listPainted);

    std::string folder =
        (std::filesystem::temp_directory_path() / "jilan-ui-probe-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const auto exportStart = Clock::now();
    const jilan::listactions::WriteOutcome written =
        jilan::listactions::writeList(folder + "/list.txt", form.List1.items());
    const double exportMs = msSince(exportStart);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::printf("show_100000_ms=%.1f\nshown_entries=%zu\nexport_100000_ms=%.1f\nexport_ok=%d\n",
                shownListMs, form.List1.listCount(), exportMs, written.ok ? 1 : 0);
    return 0;
}
