#include <QApplication>

#include <cstdio>
#include <string>

#include "ui_test_support.h"

namespace jilan::uitest {

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

namespace {

struct TestClass {
    const char* name;
    int (*run)(int, char**);
};

const TestClass kClasses[] = {
    {"LayoutTest", jilan::uitest::runLayoutTests},
    {"EventsTest", jilan::uitest::runEventsTests},
    {"ListTest", jilan::uitest::runListTests},
    {"PlatformTest", jilan::uitest::runPlatformTests},
    {"ShellTest", jilan::uitest::runShellTests},
    {"ScreenshotTest", jilan::uitest::runScreenshotTests},
    {"EndToEndTest", jilan::uitest::runEndToEndTests},
};

}  // namespace

// ui_tests runs every class; "ui_tests <ClassName> [QTest options]" runs that one alone
// (CTest registers each class so that they run apart, each with its own folders).
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && argv[1][0] != '-') {
        const std::string wanted = argv[1];
        for (const TestClass& c : kClasses) {
            if (wanted == c.name) {
                // QTest sees the program name and the options after the class name.
                argv[1] = argv[0];
                return c.run(argc - 1, argv + 1) == 0 ? 0 : 1;
            }
        }
        std::fprintf(stderr, "ui_tests: no test class %s\n", argv[1]);
        return 2;
    }
    int failures = 0;
    for (const TestClass& c : kClasses) {
        failures += c.run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
