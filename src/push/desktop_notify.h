#pragma once

// A desktop notification through the session's org.freedesktop.Notifications service (sd-bus),
// skipped with a note on a machine without a session bus (a server).

#include "push/digest_layout.h"
#include "push/platform_request.h"

namespace jilan::push {

Answer notifyDesktop(const Message& message);

}  // namespace jilan::push
