#include "push/url_mask.h"

#include <algorithm>
#include <cctype>

#include "push/notify_config.h"

namespace jilan::push {
namespace {

constexpr std::string_view kMask = "****";

// A path segment that carries a credential: Telegram's bot<id>:<token>, or a long run of
// letters and digits (a hook token, a SendKey) with at least one digit.
std::string maskSegment(std::string_view segment) {
    if (segment.starts_with("bot") && segment.find(':') != std::string_view::npos) {
        return "bot" + std::string(kMask);
    }
    const auto dot = segment.rfind('.');
    const std::string_view stem = dot == std::string_view::npos ? segment : segment.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? "" : segment.substr(dot);
    const bool digit =
        std::any_of(stem.begin(), stem.end(), [](unsigned char c) { return std::isdigit(c); });
    if (stem.size() >= 16 && digit) {
        return std::string(kMask) + std::string(ext);
    }
    return std::string(segment);
}

}  // namespace

std::string maskUrl(std::string_view url) {
    std::string out;
    const auto scheme = url.find("://");
    std::size_t at = 0;
    if (scheme != std::string_view::npos) {
        out += url.substr(0, scheme + 3);
        at = scheme + 3;
    }
    const std::string_view rest = url.substr(at);
    const auto hostEnd = std::min(rest.find('/'), rest.find('?'));
    std::string_view host = rest.substr(0, hostEnd);
    if (const auto user = host.rfind('@'); user != std::string_view::npos) {
        out += std::string(kMask) + "@";
        host.remove_prefix(user + 1);
    }
    out += host;
    if (hostEnd == std::string_view::npos) {
        return out;
    }
    std::string_view tail = rest.substr(hostEnd);
    if (const auto hash = tail.find('#'); hash != std::string_view::npos) {
        tail = tail.substr(0, hash);
    }
    const auto question = tail.find('?');
    std::string_view path = tail.substr(0, question);
    while (!path.empty()) {
        path.remove_prefix(1);  // the slash
        const auto next = path.find('/');
        out += "/" + maskSegment(path.substr(0, next));
        path = next == std::string_view::npos ? std::string_view{} : path.substr(next);
    }
    if (question == std::string_view::npos) {
        return out;
    }
    std::string_view query = tail.substr(question + 1);
    out += "?";
    bool first = true;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const auto eq = pair.find('=');
        out += (first ? "" : "&") + std::string(pair.substr(0, eq));
        if (eq != std::string_view::npos) {
            out += "=" + std::string(kMask);
        }
        first = false;
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    }
    return out;
}

void Redactor::add(std::string secret) {
    // Short values (a port, "1") would blank ordinary text; real secrets are long.
    if (secret.size() >= 6 &&
        std::find(secrets_.begin(), secrets_.end(), secret) == secrets_.end()) {
        secrets_.push_back(std::move(secret));
        std::sort(secrets_.begin(), secrets_.end(),
                  [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    }
}

Redactor redactorFor(const NotifyConfig& config) {
    Redactor redactor;
    for (const Channel& c : config.channels) {
        redactor.addChannel(c);
    }
    return redactor;
}

void Redactor::addChannel(const Channel& channel) {
    add(channel.secret);
    add(channel.token);
    add(channel.password);
    // Whatever maskUrl hides in the URL is a secret wherever else it turns up.
    const std::string masked = maskUrl(channel.url);
    std::size_t u = 0;
    std::size_t m = 0;
    const std::string& url = channel.url;
    while (u < url.size() && m < masked.size()) {
        if (masked.compare(m, kMask.size(), kMask) == 0) {
            const char after = m + kMask.size() < masked.size() ? masked[m + kMask.size()] : '\0';
            std::size_t end = u;
            while (end < url.size() && url[end] != after) {
                ++end;
            }
            const std::string hidden = url.substr(u, end - u);
            add(hidden);
            // user:password and Telegram's id:token: each half alone is a secret too.
            if (const auto colon = hidden.find(':'); colon != std::string::npos) {
                add(hidden.substr(colon + 1));
            }
            u = end;
            m += kMask.size();
            continue;
        }
        ++u;
        ++m;
    }
    add(url);
}

std::string Redactor::apply(std::string text) const {
    for (const std::string& secret : secrets_) {
        for (auto at = text.find(secret); at != std::string::npos;
             at = text.find(secret, at + kMask.size())) {
            text.replace(at, secret.size(), kMask);
        }
    }
    return text;
}

}  // namespace jilan::push
