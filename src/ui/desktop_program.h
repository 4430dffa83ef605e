#pragma once

#include <QTranslator>

#include "program/application.h"
#include "app/form1.h"
#include "main_window.h"
#include "net/transfer_pool.h"
#include "qt_platform.h"

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
    program::Application& application() { return application_; }

private:
    QTranslator qtChinese_;
    app::Form1 form_;
    QtPlatform platform_;
    net::TransferPool pool_;
    program::Application application_;
    MainWindow window_;
};

}  // namespace jilan::ui
