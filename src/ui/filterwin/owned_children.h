#pragma once

#include <QObject>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace jilan::ui::filterwin {

// Owns the widgets, layouts and timers a window makes, destroying them in reverse order of
// creation (contents before their containers) before the window itself goes. A layout is
// only ever set on a widget, never nested in another layout, so no Qt object deletes one
// of these on its own.
class OwnedChildren {
public:
    OwnedChildren() = default;
    OwnedChildren(const OwnedChildren&) = delete;
    OwnedChildren& operator=(const OwnedChildren&) = delete;
    ~OwnedChildren() { clear(); }

    template <typename T, typename... Args>
    T* make(Args&&... args) {
        auto object = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = object.get();
        objects_.push_back(std::move(object));
        return raw;
    }

    // Destroys one object made here (and nothing else).
    void destroy(QObject* object) {
        const auto it = std::find_if(objects_.begin(), objects_.end(),
                                     [object](const auto& owned) { return owned.get() == object; });
        if (it != objects_.end()) {
            objects_.erase(it);
        }
    }

    void clear() {
        while (!objects_.empty()) {
            objects_.pop_back();
        }
    }

private:
    std::vector<std::unique_ptr<QObject>> objects_;
};

}  // namespace jilan::ui::filterwin
