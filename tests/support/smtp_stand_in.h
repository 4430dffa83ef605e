// The local mail server of tools/smtp-sim, run for one test: it listens on loopback once it has
// made its throw-away CA (ca.pem in the folder) and writes each accepted message, decoded, to
// mail-N.txt there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "child_process.h"

namespace jilan::testing {

class SmtpStandIn {
public:
    // mode: "starttls", "tls" (implicit, as smtps://) or "plain" (no STARTTLS offered).
    SmtpStandIn(const std::string& mode, const std::filesystem::path& folder)
        : folder_(folder), server_([mode, where = folder.string()](int) {
              ::execl("/usr/bin/python3", "python3", JILAN_SMTP_SIM, mode.c_str(), where.c_str(),
                      static_cast<char*>(nullptr));
              return 127;
          }) {
        for (int i = 0; i < 600 && server_.started() && !std::filesystem::exists(folder / "port");
             ++i) {
            if (server_.endedOnItsOwn()) {
                ADD_FAILURE() << "the mail stand-in needs python3-aiosmtpd and openssl";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        port_ = readWholeFile(folder / "port");
        EXPECT_FALSE(port_.empty()) << "the mail stand-in did not start";
    }

    // "smtp://127.0.0.1:PORT" and the like.
    std::string url(const std::string& scheme) const { return scheme + "://127.0.0.1:" + port_; }
    std::string caFile() const { return (folder_ / "ca.pem").string(); }
    // The n-th accepted message as "SUBJECT\n\nBODY"; empty when there is none.
    std::string mail(int n) const {
        const auto path = folder_ / ("mail-" + std::to_string(n) + ".txt");
        return std::filesystem::exists(path) ? readWholeFile(path) : std::string();
    }

private:
    std::filesystem::path folder_;
    ForkedChild server_;
    std::string port_;
};

}  // namespace jilan::testing
