// Names of the fault modes, as the command line and the tests spell them.
#include <array>

#include "http_io.h"
#include "sim_options.h"

namespace jilan::sim {

namespace {

struct FaultEntry {
    Fault fault;
    std::string_view name;
};

constexpr std::array<FaultEntry, 26> kFaultNames = {{
    {Fault::None, "none"},
    {Fault::Status404, "status-404"},
    {Fault::Status500, "status-500"},
    {Fault::Status429, "status-429"},
    {Fault::Status503, "status-503"},
    {Fault::DropBeforeBody, "drop-before-body"},
    {Fault::DropMidBody, "drop-mid-body"},
    {Fault::NeverAnswer, "never-answer"},
    {Fault::Trickle, "trickle"},
    {Fault::EndlessBody, "endless-body"},
    {Fault::OversizedBody, "oversized-body"},
    {Fault::RedirectLoop, "redirect-loop"},
    {Fault::RedirectToFile, "redirect-to-file"},
    {Fault::GzipBomb, "gzip-bomb"},
    {Fault::InvalidGbk, "invalid-gbk"},
    {Fault::NoCharset, "no-charset"},
    {Fault::Empty, "empty"},
    {Fault::Page404, "page-404"},
    {Fault::Page500, "page-500"},
    {Fault::IcpNotFiled404, "icp-404-not-filed"},
    {Fault::IcpFiled404, "icp-404-filed"},
    {Fault::NoMarkers, "no-markers"},
    {Fault::ChangedLayout, "changed-layout"},
    {Fault::Throttle429, "throttle-429"},
    {Fault::Throttle429NoRetry, "throttle-429-no-retry-after"},
    {Fault::Throttle503, "throttle-503"},
}};

constexpr std::array<Fault, kFaultNames.size()> kAllFaults = [] {
    std::array<Fault, kFaultNames.size()> out{};
    for (std::size_t i = 0; i < kFaultNames.size(); ++i) {
        out[i] = kFaultNames[i].fault;
    }
    return out;
}();

}  // namespace

std::optional<Fault> parseFault(std::string_view name) {
    for (const auto& entry : kFaultNames) {
        if (equalsIgnoreCase(entry.name, name)) {
            return entry.fault;
        }
        if (entry.name.starts_with("status-") && equalsIgnoreCase(entry.name.substr(7), name)) {
            return entry.fault;
        }
    }
    return std::nullopt;
}

std::string_view faultName(Fault fault) {
    for (const auto& entry : kFaultNames) {
        if (entry.fault == fault) {
            return entry.name;
        }
    }
    return "none";
}

std::span<const Fault> allFaults() {
    return kAllFaults;
}

}  // namespace jilan::sim
