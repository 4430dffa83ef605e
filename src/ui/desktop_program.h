#pragma once

#include <QTranslator>

#include "app/form1.h"
#include "filterwin/domain_filter_window.h"
#include "main_window.h"
#include "net/transfer_pool.h"
#include "program/application.h"
#include "qt_platform.h"
#include "reminder_notifier.h"

#include <memory>

namespace jilan::ui {

// The program with its window: the model, the Qt platform, the network, every
// handler wired, and the view, built in that order. Loaded but not yet shown.
class DesktopProgram {
public:
    explicit DesktopProgram(program::AppOptions options);
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // Raises Load; false when the program already ended there.
    bool load();
    MainWindow& window() { return window_; }
    app::Form1& form() { return form_; }
    // Opens (or raises) the "域名筛选" window, making it on first use.
    filterwin::DomainFilterWindow& openFilterWindow();
    filterwin::DomainFilterWindow* filterWindow() { return filterWindow_.get(); }
    program::Application& application() { return application_; }

private:
    QTranslator qtChinese_;
    app::Form1 form_;
    QtPlatform platform_;
    net::TransferPool pool_;
    config::Urls urls_;
    int detailPauseMs_;
    filter::ScoreWeights scoreWeights_;
    program::Application application_;
    MainWindow window_;
    // After the main window: it goes first, its batch cancelled.
    std::unique_ptr<filterwin::DomainFilterWindow> filterWindow_;
    // The watchlist's due reminders as desktop notifications, from load() while the window is
    // open; none without a history.
    std::unique_ptr<ReminderNotifier> reminders_;
    // Last, so that it is cut before the filter window goes.
    app::Connection shutdownFilterWindow_;
};

}  // namespace jilan::ui
