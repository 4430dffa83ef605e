// market-sim: serves the simulated marketplace until SIGTERM / SIGINT.
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "cli.h"
#include "market_sim.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const jilan::sim::CommandLine cl = jilan::sim::parseCommandLine(args);
    if (!cl.error.empty()) {
        std::fprintf(stderr, "market-sim: %s\n%s", cl.error.c_str(),
                     jilan::sim::usageText().c_str());
        return 2;
    }
    if (cl.help) {
        std::fputs(jilan::sim::usageText().c_str(), stdout);
        return 0;
    }

    // Block the stop signals before any thread exists so that only sigwait() sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    jilan::sim::MarketSim sim(cl.options);
    if (!sim.start()) {
        std::fprintf(stderr, "market-sim: %s\n", sim.lastError().c_str());
        return 1;
    }
    std::printf("market-sim listening on %s\n", sim.baseUrl().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.stop();
    return 0;
}
