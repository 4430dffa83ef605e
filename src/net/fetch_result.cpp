#include "fetch_result.h"

namespace jilan::net {

std::string_view causeCode(FailureKind kind) {
    switch (kind) {
        case FailureKind::None:
            return "";
        case FailureKind::Refused:
            return "refused";
        case FailureKind::ConnectTimeout:
            return "connect-timeout";
        case FailureKind::ResponseTimeout:
            return "response-timeout";
        case FailureKind::HostNotResolved:
            return "host-not-resolved";
        case FailureKind::ConnectionCut:
            return "connection-cut";
        case FailureKind::TooLarge:
            return "too-large";
        case FailureKind::TooManyRedirects:
            return "too-many-redirects";
        case FailureKind::RedirectRefused:
            return "redirect-refused";
        case FailureKind::UnsupportedAddress:
            return "unsupported-address";
        case FailureKind::HttpStatus:
            return "http-status";
        case FailureKind::Cancelled:
            return "cancelled";
        case FailureKind::Unknown:
            return "unknown";
    }
    return "unknown";
}

}  // namespace jilan::net
