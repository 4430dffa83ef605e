#pragma once

#include "form1.h"
#include "net/page_fetcher.h"
#include "platform.h"

namespace jilan::app {

// The wait of a fetch: one round of window events, unless the program is ending.
class FormPump : public net::EventPump {
public:
    FormPump(Form1& form, Platform& platform) : form_(form), platform_(platform) {}
    bool pumpOnce() override {
        if (form_.ended()) {
            return false;
        }
        platform_.processEvents();
        return !form_.ended();
    }

private:
    Form1& form_;
    Platform& platform_;
};

}  // namespace jilan::app
