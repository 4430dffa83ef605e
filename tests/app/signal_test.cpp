#include "app/signal.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace jilan::app {
namespace {

// Two listeners, "a" and "b", on one signal; each slot logs its name and the value emitted.
struct Rig {
    std::optional<Signal<int>> signal{std::in_place};
    std::vector<std::string> heard;
    Connection a, b;
    std::function<void(Rig&)> duringA = [](Rig&) {};  // what a's slot does after logging

    void connectBoth() {
        a = signal->connect([this](int v) {
            heard.push_back("a" + std::to_string(v));
            duringA(*this);
        });
        b = signal->connect([this](int v) { heard.push_back("b" + std::to_string(v)); });
    }
};

struct ConnectionCase {
    const char* rule;
    std::function<void(Rig&)> script;
    std::vector<std::string> heard;
    bool aConnected;
};

const ConnectionCase kCases[] = {
    {"BothListenersHearEveryEmitInOrder",
     [](Rig& r) {
         r.signal->emit(1);
         r.signal->emit(2);
     },
     {"a1", "b1", "a2", "b2"},
     true},
    {"DestroyedConnectionHearsNoMore",
     [](Rig& r) {
         r.signal->emit(1);
         r.a = Connection();
         r.signal->emit(2);
     },
     {"a1", "b1", "b2"},
     false},
    {"MovedConnectionKeepsTheSlotUntilItsNewOwnerGoes",
     [](Rig& r) {
         {
             Connection moved = std::move(r.a);
             r.signal->emit(1);
         }
         r.signal->emit(2);
     },
     {"a1", "b1", "b2"},
     false},
    {"SlotDisconnectingItselfDuringEmit",
     [](Rig& r) {
         r.duringA = [](Rig& rig) { rig.a.disconnect(); };
         r.signal->emit(1);
         r.signal->emit(2);
     },
     {"a1", "b1", "b2"},
     false},
    {"SlotDisconnectingALaterSlotDuringEmit",
     [](Rig& r) {
         r.duringA = [](Rig& rig) { rig.b = Connection(); };
         r.signal->emit(1);
         r.signal->emit(2);
     },
     {"a1", "a2"},
     true},
    {"SignalDestroyedBeforeItsConnections",
     [](Rig& r) {
         r.signal->emit(1);
         r.signal.reset();
         r.b.disconnect();
     },
     {"a1", "b1"},
     false},
};

void PrintTo(const ConnectionCase& c, std::ostream* os) {
    *os << c.rule;
}

class ScopedConnection : public ::testing::TestWithParam<ConnectionCase> {};

// Under the sanitizers a slot called after its listener went, or a connection reaching into
// a dead signal, fails here too.
TEST_P(ScopedConnection, SlotsAreHeardExactlyWhileConnected) {
    const ConnectionCase& c = GetParam();
    Rig rig;
    rig.connectBoth();
    c.script(rig);
    EXPECT_EQ(rig.heard, c.heard);
    EXPECT_EQ(rig.a.connected(), c.aConnected);
}

INSTANTIATE_TEST_SUITE_P(Faults, ScopedConnection, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.rule); });

}  // namespace
}  // namespace jilan::app
