#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "market_sim.h"
#include "program/application.h"
#include "recording_platform.h"

namespace jilan::testing {

inline net::HttpLimits shortLimits() {
    net::HttpLimits limits;
    limits.connectTimeoutMs = 2'000;
    limits.totalTimeoutMs = 3'000;
    limits.lowSpeedSeconds = 2;
    return limits;
}

// The program against a real loopback marketplace, with a platform double
// whose event pump ticks the batch timer the way a window's event loop does.
struct HarvestRig {
    explicit HarvestRig(sim::Options simOptions = {}, harvest::HarvestOptions harvestOptions = {},
                        net::HttpLimits limits = shortLimits(), std::string historyPath = {})
        : sim(std::move(simOptions)), pool(limits) {
        EXPECT_TRUE(sim.start()) << sim.lastError();
        program::AppOptions options;
        options.urls = urlsFor(sim.baseUrl());
        options.harvest = harvestOptions;
        options.historyPath = std::move(historyPath);
        application = std::make_unique<program::Application>(form, platform, pool, options);
        platform.onProcessEvents = [this] { form.Timer1.tick(); };
        form.S1.changed.connect([this] { statuses.push_back(form.status()); });
    }

    static config::Urls urlsFor(const std::string& base) {
        return config::Urls{base, base + "/icp/", base + "/vendor/forum", base + "/vendor/home"};
    }

    // Runs the window's clock until the batch timer stops, and then the drain's ticker until
    // a stopped batch has its last pages; fails the test on a hang.
    void runBatch(std::chrono::seconds watchdog = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + watchdog;
        while (form.Timer1.enabled() || platform.ticker) {
            pool.poll(1);
            if (form.Timer1.enabled()) {
                form.Timer1.tick();
            }
            platform.tick();
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "batch did not end within the watchdog";
                return;
            }
        }
    }

    // Runs only the drain's ticker, as the event loop would after a stop.
    void drain(std::chrono::seconds watchdog = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + watchdog;
        while (platform.ticker) {
            pool.poll(1);
            platform.tick();
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "drain did not end within the watchdog";
                return;
            }
        }
    }

    void press(const std::string& pageLimit) {
        form.Text1.setText(pageLimit);
        form.Command1.click();
    }

    std::vector<std::string> requestedTargets() const {
        std::vector<std::string> out;
        for (const auto& r : sim.requests()) {
            out.push_back(r.target);
        }
        return out;
    }

    std::vector<std::string> expectedPages(int first, int last) const {
        std::vector<std::string> out;
        const sim::Options o = sim.options();
        for (int p = first; p <= last; ++p) {
            for (auto& d : sim::rowDomains(o, p)) {
                out.push_back(d);
            }
        }
        return out;
    }

    sim::MarketSim sim;
    app::Form1 form;
    RecordingPlatform platform;
    net::TransferPool pool;
    std::unique_ptr<program::Application> application;
    std::vector<std::string> statuses;
};

}  // namespace jilan::testing
