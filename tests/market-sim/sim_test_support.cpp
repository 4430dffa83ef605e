#include "sim_test_support.h"

#include <arpa/inet.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "http_io.h"

namespace jilan::sim::test {

std::optional<std::string> RawResponse::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoreCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

std::string getRequest(std::string_view target, std::string_view extraHeaderLines,
                       std::string_view method) {
    std::string r(method);
    r += " ";
    r += target;
    r += " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    r += extraHeaderLines;
    r += "\r\n";
    return r;
}

namespace {

void parseHead(std::string_view head, RawResponse& out) {
    std::size_t eol = head.find("\r\n");
    std::string_view statusLine = head.substr(0, eol);
    if (statusLine.size() >= 12) {
        out.status = std::atoi(std::string(statusLine.substr(9, 3)).c_str());
    }
    while (eol != std::string_view::npos) {
        std::size_t start = eol + 2;
        eol = head.find("\r\n", start);
        std::string_view line =
            head.substr(start, eol == std::string_view::npos ? eol : eol - start);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') {
            value.remove_prefix(1);
        }
        out.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
}

}  // namespace

RawResponse rawExchange(int port, std::string_view request, std::chrono::milliseconds timeout,
                        std::size_t maxBody) {
    RawResponse out;
    Fd sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!sock || ::connect(sock.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        return out;
    }
    out.connected = true;
    if (::send(sock.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        return out;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string raw;
    std::size_t headEnd = std::string::npos;
    std::optional<std::size_t> contentLength;
    std::array<char, 64 * 1024> buf{};
    while (true) {
        if (headEnd == std::string::npos) {
            headEnd = raw.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                out.gotHead = true;
                parseHead(std::string_view(raw).substr(0, headEnd), out);
                if (auto cl = out.header("Content-Length")) {
                    contentLength = std::strtoull(cl->c_str(), nullptr, 10);
                }
                out.body = raw.substr(headEnd + 4);
            }
        }
        if (out.gotHead &&
            ((contentLength && out.body.size() >= *contentLength) || out.body.size() >= maxBody)) {
            return out;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            out.timedOut = true;
            return out;
        }
        pollfd p{sock.get(), POLLIN, 0};
        int rc = ::poll(&p, 1, static_cast<int>(left.count()));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc == 0) {
            continue;  // deadline check above
        }
        ssize_t n = ::recv(sock.get(), buf.data(), buf.size(), 0);
        if (n <= 0) {
            out.closedByPeer = true;
            return out;
        }
        out.bytesReceived += static_cast<std::size_t>(n);
        if (out.gotHead) {
            out.body.append(buf.data(), static_cast<std::size_t>(n));
        } else {
            raw.append(buf.data(), static_cast<std::size_t>(n));
        }
    }
}

std::optional<std::string> decodeToUtf8(std::string_view bytes, const char* fromCharset) {
    iconv_t raw = iconv_open("UTF-8", fromCharset);
    if (raw == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::unique_ptr<void, int (*)(iconv_t)> cd(raw, iconv_close);
    std::string out(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    if (iconv(raw, &in, &inLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;  // GBK never needs more than 1.5x when widened to UTF-8
    }
    out.resize(out.size() - dstLeft);
    return out;
}

std::size_t countOf(std::string_view haystack, std::string_view needle) {
    std::size_t n = 0;
    for (std::size_t at = haystack.find(needle); at != std::string_view::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++n;
    }
    return n;
}

std::vector<std::string> extractRowDomains(std::string_view page) {
    static constexpr std::string_view kMarker = "<tr>\r\n    <td><a href=\"/backorder/";
    std::vector<std::string> out;
    for (std::size_t at = page.find(kMarker); at != std::string_view::npos;
         at = page.find(kMarker, at + kMarker.size())) {
        std::size_t start = at + kMarker.size();
        out.emplace_back(page.substr(start, page.find('"', start) - start));
    }
    return out;
}

std::optional<std::string> between(std::string_view text, std::string_view open,
                                   std::string_view close) {
    std::size_t a = text.find(open);
    if (a == std::string_view::npos) {
        return std::nullopt;
    }
    a += open.size();
    std::size_t b = text.find(close, a);
    if (b == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(text.substr(a, b - a));
}

std::vector<std::string> cutPriceCells(std::string_view page) {
    std::vector<std::string> cells;
    auto block = between(page, "<th>保证金</th>", "</div>");
    if (!block) {
        return cells;
    }
    std::string_view rest = *block;
    std::size_t td = rest.find("<td>");
    while (td != std::string_view::npos) {
        rest.remove_prefix(td + 4);
        cells.emplace_back(rest.substr(0, rest.find("</td>")));
        td = rest.find("<td>");
    }
    return cells;
}

long long elapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

}  // namespace jilan::sim::test
