#include "routes.h"

#include "day_listing.h"
#include "sim_content.h"
#include "text_codec.h"

namespace jilan::sim {

namespace {

std::string percentDecode(std::string_view in) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
            out += static_cast<char>(hex(in[i + 1]) * 16 + hex(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

// Splits a raw query into its parameters (not decoded).
std::vector<std::pair<std::string_view, std::string_view>> queryParams(std::string_view query) {
    std::vector<std::pair<std::string_view, std::string_view>> out;
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view part = query.substr(0, amp);
        std::size_t eq = part.find('=');
        if (eq == std::string_view::npos) {
            out.emplace_back(part, std::string_view{});
        } else {
            out.emplace_back(part.substr(0, eq), part.substr(eq + 1));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return out;
}

}  // namespace

Target classify(std::string_view raw) {
    Target t;
    std::size_t q = raw.find('?');
    t.path = std::string(raw.substr(0, q));
    t.query = q == std::string_view::npos ? "" : std::string(raw.substr(q + 1));
    const std::string_view path = t.path;
    if (path == "/" || path == "/index.html") {
        t.route = Route::Index;
    } else if (path == "/search") {
        t.route = Route::Listing;
        for (const auto& [key, value] : queryParams(t.query)) {
            if (key == "p") {
                t.page = canonicalPage(percentDecode(value));
                break;
            }
        }
    } else if (path.starts_with("/backorder/") && path.size() > 11) {
        t.route = Route::Detail;
        t.domain = percentDecode(path.substr(11));
    } else if (path.starts_with("/icp/") && path.size() > 5) {
        t.route = Route::Icp;
        t.domain = percentDecode(path.substr(5));
    } else if (path == "/vendor/forum" || path == "/vendor/home") {
        t.route = Route::Vendor;
    } else if (path == "/help/booking") {
        t.route = Route::Help;
    }
    return t;
}

std::string redirectPartner(const Target& t) {
    std::string query;
    bool hadHop = false;
    std::string_view rest = t.query;
    while (!rest.empty()) {
        std::size_t amp = rest.find('&');
        std::string_view part = rest.substr(0, amp);
        if (part == "hop" || part.starts_with("hop=")) {
            hadHop = true;
        } else if (!part.empty()) {
            query += query.empty() ? "" : "&";
            query += part;
        }
        rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
    }
    if (!hadHop) {
        query += query.empty() ? "hop=1" : "&hop=1";
    }
    return query.empty() ? t.path : t.path + "?" + query;
}

Reply htmlReply(int status, const std::string& utf8Text, bool utf8) {
    Reply r;
    r.status = status;
    if (utf8) {
        r.body = utf8Text;
        r.contentType = "text/html; charset=utf-8";
        return r;
    }
    if (auto gbk = utf8ToGbk(utf8Text)) {
        r.body = std::move(*gbk);
        r.contentType = "text/html; charset=gbk";
        return r;
    }
    r.status = 500;
    r.body =
        "<html><body><h1>500 Internal Server Error</h1>charset conversion failed</body></html>";
    r.contentType = "text/html";
    return r;
}

Reply routeReply(const Target& t, const Options& o, const DayListing* listing) {
    const bool dayMode = o.day > 0;
    switch (t.route) {
        case Route::Index:
            return htmlReply(200, indexPage(o.utf8), o.utf8);
        case Route::Listing:
            return htmlReply(
                200, listing != nullptr ? listingPage(o, t.page, listing) : listingPage(o, t.page),
                o.utf8);
        case Route::Detail:
            return htmlReply(
                200,
                dayMode ? dayDetailPage(o.day, t.domain, o.utf8) : detailPage(t.domain, o.utf8),
                o.utf8);
        case Route::Icp:
            return htmlReply(
                200, dayMode ? dayIcpPage(o.day, t.domain, o.utf8) : icpPage(t.domain, o.utf8),
                o.utf8);
        case Route::Vendor:
            return htmlReply(200, vendorPage(t.path.substr(8), o.utf8), o.utf8);
        case Route::Help:
            return htmlReply(200, helpPage(o.utf8), o.utf8);
        case Route::Unknown:
            break;
    }
    return htmlReply(404, errorPage(404), o.utf8);
}

std::string_view siteOf(Route route) {
    return route == Route::Icp ? "icp" : "market";
}

}  // namespace jilan::sim
