#pragma once

#include <string>

namespace jilan::net {

// Whether anything accepts a connection at the host and port of `url` within `timeoutMs`:
// a connect only, nothing is sent. Tells "the site failed" apart from "no site is there".
bool acceptsConnections(const std::string& url, long timeoutMs);

}  // namespace jilan::net
