#pragma once

#include <string>
#include <string_view>

namespace jilan::net {

// Percent-encodes every byte outside the unreserved set (A-Z a-z 0-9 - . _ ~),
// so no text taken from a page can change the shape of a request.
std::string percentEncode(std::string_view text);

// base + "/search?p=" + page; page is the decimal counter or the page text as typed.
std::string listingUrl(std::string_view marketBase, std::string_view page);
// base + "/backorder/" + domain: the detail page, and the booking page.
std::string detailUrl(std::string_view marketBase, std::string_view domain);
// The lookup site's base ends in "/"; the domain follows directly.
std::string icpUrl(std::string_view icpBase, std::string_view domain);

}  // namespace jilan::net
