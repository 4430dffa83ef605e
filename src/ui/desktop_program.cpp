#include "desktop_program.h"

#include <QApplication>
#include <QGuiApplication>
#include <QString>

#include <string>

#include "translations.h"

namespace jilan::ui {

DesktopProgram::DesktopProgram(program::AppOptions options)
    : urls_(options.urls),
      detailPauseMs_(options.detailPauseMs),
      scoreWeights_(options.scoreWeights),
      application_(form_, platform_, pool_, std::move(options)),
      window_(form_) {
    installQtChinese(qtChinese_);
    QGuiApplication::setDesktopFileName(QStringLiteral("jilan-harvester"));
    platform_.setWindow(&window_);
    QObject::connect(&window_, &MainWindow::filterWindowRequested, &window_,
                     [this] { openFilterWindow(); });
    // Ending the program cancels a running batch and closes the second window too.
    shutdownFilterWindow_ = form_.endedSignal.connect([this] {
        if (filterWindow_) {
            filterWindow_->shutdown();
        }
    });
}

bool DesktopProgram::load() {
    form_.Load.raise();
    // The skin, when there is one, dresses every window of the program.
    if (qApp != nullptr && !window_.styleSheet().isEmpty()) {
        qApp->setStyleSheet(window_.styleSheet());
    }
    if (!form_.ended() && !application_.historyPath().empty()) {
        reminders_ =
            std::make_unique<ReminderNotifier>(platform_, storeClaim(application_.historyPath()));
        reminders_->start();
    }
    return !form_.ended();
}

filterwin::DomainFilterWindow& DesktopProgram::openFilterWindow() {
    if (!filterWindow_) {
        details::DetailSettings details;
        details.urls = urls_;
        details.pauseMs = detailPauseMs_;
        details.historyPath = application_.historyPath();
        filterWindow_ =
            std::make_unique<filterwin::DomainFilterWindow>(filterwin::FilterWindowSetup{
                .form = form_,
                .platform = platform_,
                .mainWindow = &window_,
                .details = std::move(details),
                .currentRunId = [this] { return application_.currentRunId(); },
                .scoreWeights = scoreWeights_,
                .notifyConfigPath = {},
                .pushTiming = {},
            });
    }
    filterWindow_->open();
    return *filterWindow_;
}

}  // namespace jilan::ui
