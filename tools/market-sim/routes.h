// Request routing: which page a request target asks for, and the normal reply to it before any
// fault is applied.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim_options.h"

namespace jilan::sim {

class DayListing;

enum class Route { Index, Listing, Detail, Icp, Vendor, Help, Unknown };

struct Target {
    Route route = Route::Unknown;
    std::string path;
    std::string query;
    int page = 0;        // canonical listing page, 0 when none
    std::string domain;  // detail / ICP, percent-decoded
};

Target classify(std::string_view raw);

// Target with "hop=1" toggled: the two ends of RedirectLoop.
std::string redirectPartner(const Target& t);

// A response before faults are applied: status, encoded body and content type.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> extraHeaders;
};

// The page text in the served charset (GBK unless `utf8`); a 500 when GBK cannot hold it.
Reply htmlReply(int status, const std::string& utf8Text, bool utf8);

// The normal answer of a route (404 with an error page for unknown targets). With o.day > 0 the
// listing, detail and ICP pages are those of the day; `listing` is that day's list when the
// caller has it built (nullptr: built here).
Reply routeReply(const Target& t, const Options& o, const DayListing* listing = nullptr);

// The site a route belongs to, as the request log names it: "icp" for /icp/..., else "market".
std::string_view siteOf(Route route);

}  // namespace jilan::sim
