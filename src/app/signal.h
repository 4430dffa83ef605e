#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace jilan::app {

namespace signal_detail {

// What a Connection needs of its Signal, whatever the Signal's arguments.
class SlotRegistry {
public:
    virtual void remove(std::uint64_t id) noexcept = 0;

protected:
    ~SlotRegistry() = default;
};

}  // namespace signal_detail

// One listener's hold on a Signal: the slot stays connected while this object lives. Kept by
// the listener as a member, so a listener that goes away takes its slot with it. Move-only.
// Safe when the Signal has gone first (then it does nothing) and during an emit: a slot
// disconnected meanwhile, even the running one, is not called again.
class [[nodiscard]] Connection {
public:
    Connection() = default;
    Connection(Connection&& other) noexcept
        : registry_(std::move(other.registry_)), id_(other.id_) {}
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            disconnect();
            registry_ = std::move(other.registry_);
            id_ = other.id_;
        }
        return *this;
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { disconnect(); }

    void disconnect() noexcept {
        if (const auto registry = registry_.lock()) {
            registry->remove(id_);
        }
        registry_.reset();
    }
    bool connected() const noexcept { return !registry_.expired(); }

private:
    template <typename...>
    friend class Signal;
    Connection(std::weak_ptr<signal_detail::SlotRegistry> registry, std::uint64_t id)
        : registry_(std::move(registry)), id_(id) {}

    std::weak_ptr<signal_detail::SlotRegistry> registry_;
    std::uint64_t id_ = 0;
};

// Change notifications from the model to whoever draws it. Any number of listeners; the
// model never depends on who listens. Slots run in the order they were connected; a slot
// connected during an emit is first called by the next one.
template <typename... Args>
class Signal {
public:
    using Slot = std::function<void(Args...)>;

    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    Connection connect(Slot slot) {
        const std::uint64_t id = state_->nextId++;
        state_->slots.push_back(std::make_unique<Entry>(Entry{id, std::move(slot), false}));
        return Connection(state_, id);
    }

    void emit(Args... args) const {
        // Held here so that a slot may disconnect others or destroy the Signal itself.
        const std::shared_ptr<State> state = state_;
        const EmitScope scope(*state);
        for (std::size_t i = 0, n = state->slots.size(); i < n; ++i) {
            const Entry& entry = *state->slots[i];
            if (!entry.removed) {
                entry.slot(args...);
            }
        }
    }

private:
    struct Entry {
        std::uint64_t id;
        Slot slot;
        bool removed;
    };

    struct State final : signal_detail::SlotRegistry {
        // Entries stay where they are while an emit runs (a removed one is only marked), so
        // the running slot is never destroyed under itself.
        std::vector<std::unique_ptr<Entry>> slots;
        std::uint64_t nextId = 1;
        int emitting = 0;

        void remove(std::uint64_t id) noexcept override {
            for (const auto& entry : slots) {
                if (entry->id == id) {
                    entry->removed = true;
                }
            }
            sweep();
        }
        void sweep() noexcept {
            if (emitting == 0) {
                std::erase_if(slots, [](const auto& entry) { return entry->removed; });
            }
        }
    };

    struct EmitScope {
        explicit EmitScope(State& s) : state(s) { ++state.emitting; }
        ~EmitScope() {
            --state.emitting;
            state.sweep();
        }
        EmitScope(const EmitScope&) = delete;
        EmitScope& operator=(const EmitScope&) = delete;
        State& state;
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
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
