#pragma once

// The SendOne of a real run: HTTP platforms through postOnce, e-mail through SMTP, the desktop
// through D-Bus.

#include "push/delivery.h"
#include "push/http_post.h"

namespace jilan::push {

SendOne standardSender(const HttpOptions& options);

}  // namespace jilan::push
