#pragma once

// A message as e-mail through libcurl's SMTP: smtps:// is TLS from the start, smtp:// must
// switch to TLS (STARTTLS) and never falls back to plain text. UTF-8 subject (RFC 2047) and body.

#include <cstdint>
#include <string>

#include "push/digest_layout.h"
#include "push/http_post.h"
#include "push/notify_config.h"

namespace jilan::push {

// The whole mail as sent: headers and the Base64 body.
std::string composeMail(const Channel& channel, const Message& message, std::int64_t nowMs);

Answer sendMail(const Channel& channel, const Message& message, std::int64_t nowMs,
                const HttpOptions& options);

}  // namespace jilan::push
