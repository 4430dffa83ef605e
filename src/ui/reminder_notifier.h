#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <thread>

#include "app/platform.h"
#include "watchlist/window_reminders.h"

namespace jilan::ui {

// While the window is open, the watchlist's due reminders as desktop notifications: once at
// start and then every ten minutes (the pace of the --remind timer), the store is read on a
// worker thread (it may wait for a harvest's writes) and what it claimed is shown on the
// window's thread. A tick while the last read still runs is skipped.
class ReminderNotifier : public QObject {
public:
    using Claim = std::function<watchlist::WindowClaim()>;
    static constexpr int kIntervalMs = 10 * 60 * 1000;

    ReminderNotifier(app::Platform& platform, Claim claim, int intervalMs = kIntervalMs);
    // Waits for a read that is still running; what it claimed is not shown any more.
    ~ReminderNotifier() override;
    ReminderNotifier(const ReminderNotifier&) = delete;
    ReminderNotifier& operator=(const ReminderNotifier&) = delete;

    void start();

private:
    void tick();
    void show(const watchlist::WindowClaim& claim);

    app::Platform& platform_;
    Claim claim_;
    QTimer timer_;
    std::thread worker_;
    bool reading_ = false;
};

// The claim of the window's reminders on the store at `historyPath`, with the lead time of
// notify.toml's [remind] when the file is there and readable, else the default rules.
ReminderNotifier::Claim storeClaim(std::string historyPath);

}  // namespace jilan::ui
