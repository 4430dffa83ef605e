#pragma once

#include <string>
#include <string_view>

namespace jilan::app {

// The one table from failure causes to the words of the status line and the messages.

// A failed fetch. `code` is the network layer's stable cause code ("refused",
// "connect-timeout", "http-status", ...); `httpStatus` is the answer's status for
// "http-status"; `detail` is the transfer library's own message, kept for logs.
std::string failureText(std::string_view code, long httpStatus, std::string_view detail);

// A failed file operation: `errnum` is the errno value; 0 or below when the failure has
// no errno (e.g. the target is not a regular file), and then `detail` says what it is.
std::string fileFailureText(int errnum, std::string_view detail);

}  // namespace jilan::app
