#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace jilan::app {

// Change notifications from the model to whoever draws it. Any number of
// listeners; the model never depends on who listens.
template <typename... Args>
class Signal {
public:
    using Slot = std::function<void(Args...)>;

    void connect(Slot slot) { slots_.push_back(std::move(slot)); }
    void emit(Args... args) const {
        for (const auto& slot : slots_) {
            slot(args...);
        }
    }

private:
    std::vector<Slot> slots_;
};

// A window event with exactly one handler, as the program attaches it.
// Raising an event without a handler does nothing: unhandled events are ignored.
template <typename... Args>
class Event {
public:
    using Handler = std::function<void(Args...)>;

    void attach(Handler handler) { handler_ = std::move(handler); }
    bool attached() const { return static_cast<bool>(handler_); }
    void raise(Args... args) const {
        if (handler_) {
            handler_(std::forward<Args>(args)...);
        }
    }

private:
    Handler handler_;
};

}  // namespace jilan::app
