#pragma once

#include <string>
#include <string_view>

namespace jilan::app {

// The one table from failure causes to the words of the status line and the messages.

// A failed fetch. `code` is the network layer's stable cause code ("refused",
// "connect-timeout", "http-status", ...); `httpStatus` is the answer's status for
// "http-status"; `detail` is the transfer library's own message, shown only when the
// cause is unknown: "未知错误（detail）".
std::string failureText(std::string_view code, long httpStatus, std::string_view detail);

// A failed file operation: `errnum` is the errno value, 0 or below when the failure has
// none. `notRegularFile` says the target is of a kind nothing can be written to (a
// socket). An errno the table does not name, or no errno at all, gives "未知错误（...）"
// with the system's message or `detail`.
std::string fileFailureText(int errnum, std::string_view detail, bool notRegularFile = false);

}  // namespace jilan::app
