// The "域名筛选" window's QTest classes; the first argument names the class to run, so that
// each class is its own test entry.
#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "filterwin_support.h"

int main(int argc, char** argv) {
    // Presets go to a settings folder of this run only, whatever the environment says.
    QTemporaryDir config;
    if (!config.isValid()) {
        return 1;
    }
    ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    using namespace jilan::filterwintest;
    struct Entry {
        const char* name;
        int (*run)(int, char**);
    };
    const Entry entries[] = {{"FilterLogicTest", runLogicTests},
                             {"TableModelTest", runModelTests},
                             {"TableArrivalsTest", runArrivalsTests},
                             {"CellDelegateTest", runCellDelegateTests},
                             {"HistoryLoaderTest", runHistoryLoaderTests},
                             {"FilterWindowTest", runWindowTests},
                             {"BatchQueryTest", runBatchTests},
                             {"FilterScreenshotTest", runScreenshotTests},
                             {"StatsTabTest", runStatsTabTests},
                             {"WatchTest", runWatchTests},
                             {"PushSelectionTest", runPushSelectionTests}};
    if (argc < 2) {
        std::cerr << "usage: filterwin_tests CLASS [QTest options]\n";
        return 2;
    }
    for (const Entry& entry : entries) {
        if (std::strcmp(argv[1], entry.name) == 0) {
            argv[1] = argv[0];  // QTest sees the program name and the options after the class
            return entry.run(argc - 1, argv + 1);
        }
    }
    std::cerr << "filterwin_tests: no class " << argv[1] << '\n';
    return 2;
}
