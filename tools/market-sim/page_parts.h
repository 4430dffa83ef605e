// Building blocks shared by the simulated sites' pages: the deterministic hash that decides every
// variant, ASCII case and HTML escaping, and the page head, style, script and footer padding that
// give the pages their real size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jilan::sim::parts {

inline constexpr std::string_view kSiteName = "云岫域名市场";

// FNV-1a over salt and text with a final avalanche, so that each property of a domain (variant,
// filing, prices...) is decided by an independent-looking hash.
std::uint64_t hashOf(std::string_view salt, std::string_view text);
// Integer keys (row indexes, padding line numbers) skip the text round trip: splitmix64 of the
// value mixed with the salt's hash.
std::uint64_t hashOf(std::string_view salt, std::uint64_t value);

// Domains are case-insensitive; every domain-keyed decision hashes the ASCII lower-case form.
std::string lowerAscii(std::string_view text);
std::string upperAscii(std::string_view text);
std::string htmlEscape(std::string_view text);
std::string twoDigits(std::uint64_t v);  // v % 100 with a leading zero
std::string hexColor(std::uint64_t h);

// Doctype, <html>, <head>, charset meta, title and keywords (the <head> is left open).
std::string pageHead(std::string_view title, bool utf8);
// Inline style sheet of about `bytes` bytes, as the real site ships one per page.
std::string stylePadding(std::string_view prefix, std::size_t bytes);
// Inline script of about `bytes` bytes: advertising slots and a visit counter.
std::string scriptPadding(std::string_view prefix, std::size_t bytes);
std::string navBar();
// Footer text of about `bytes` bytes (UTF-8 count), ordinary help and friendly links.
std::string footerPadding(std::size_t bytes);

}  // namespace jilan::sim::parts
