#include <QAction>
#include <QApplication>
#include <QMenu>

#include "ui/view_text.h"
#include "ui_test_support.h"

namespace jilan::uitest {

app::MessageAnswer ScriptedPlatform::messageBox(const std::string& prompt, const std::string& title,
                                                app::MessageButtons buttons, app::MessageIcon) {
    messages.push_back({prompt, title, buttons});
    if (answers.empty()) {
        return buttons == app::MessageButtons::Ok ? app::MessageAnswer::Ok
                                                  : app::MessageAnswer::Cancel;
    }
    const app::MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedPlatform::saveFileDialog(const std::string&, const std::string&,
                                                            const std::string&) {
    if (saveAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void ScriptedPlatform::popupMenu(app::Menu& menu) {
    popups.push_back(menuEntries(menu));
    if (onPopup) {
        onPopup(menu, popups.back());
    }
}

std::vector<QString> menuEntries(app::Menu& menu) {
    QMenu popup;
    ui::fillMenu(menu, popup);
    std::vector<QString> entries;
    for (const QAction* action : popup.actions()) {
        entries.push_back(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return entries;
}

Program::Program(config::Urls urls)
    : application(form, platform, pool, program::AppOptions{std::move(urls), {}}), window(form) {
    platform.setWindow(&window);
}

Program::~Program() = default;

WhenShown::WhenShown(std::function<void(QWidget*)> act, int timeoutMs)
    : act_(std::move(act)), remainingPolls_(timeoutMs / 10) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &WhenShown::poll);
    timer_.start();
}

void WhenShown::poll() {
    QWidget* shown = QApplication::activePopupWidget();
    if (shown == nullptr) {
        shown = QApplication::activeModalWidget();
    }
    if (shown != nullptr && shown->isVisible()) {
        timer_.stop();
        done_ = true;
        act_(shown);
        return;
    }
    if (--remainingPolls_ <= 0) {
        timer_.stop();
    }
}

}  // namespace jilan::uitest

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    using namespace jilan::uitest;
    int failures = 0;
    for (auto* run : {runCommandLineTests, runLayoutTests, runEventsTests, runListTests,
                      runPlatformTests, runShellTests, runScreenshotTests, runEndToEndTests}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
