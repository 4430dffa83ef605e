#pragma once

#include "app/form1.h"
#include "app/platform.h"
#include "net/page_fetcher.h"

namespace jilan::program {

// The wait of a fetch: one round of window events, unless the program is ending.
class FormPump : public net::EventPump {
public:
    FormPump(app::Form1& form, app::Platform& platform) : form_(form), platform_(platform) {}
    bool pumpOnce() override {
        if (form_.ended()) {
            return false;
        }
        platform_.processEvents();
        return !form_.ended();
    }

private:
    app::Form1& form_;
    app::Platform& platform_;
};

}  // namespace jilan::program
