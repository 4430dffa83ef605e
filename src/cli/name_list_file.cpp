#include "name_list_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <unordered_set>

#include "app/failure_text.h"
#include "base/name_key.h"
#include "base/utf8.h"
#include "io/unique_fd.h"
#include "net/text_decoding.h"

namespace jilan::cli {

namespace {

// How much of a refused line a message quotes.
constexpr std::size_t kQuotedChars = 40;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// How long the reader waits at most before it looks at the interruption again.
constexpr int kPollMs = 100;
constexpr std::size_t kReadChunk = 1024 * 1024;
constexpr std::size_t kMiB = 1024 * 1024;

// UTF-16 without its mark; an unpaired surrogate or an odd last byte becomes U+FFFD.
std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t at) {
        const auto a = static_cast<unsigned char>(bytes[at]);
        const auto b = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::size_t at = 0;
    for (; at + 1 < bytes.size(); at += 2) {
        const char32_t u = unit(at);
        if (u >= 0xD800 && u <= 0xDBFF && at + 3 < bytes.size()) {
            const char32_t low = unit(at + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                base::appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        base::appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? char32_t{0xFFFD} : u);
    }
    if (at < bytes.size()) {
        base::appendUtf8(out, 0xFFFD);
    }
    return out;
}

// The code point at `at` of valid UTF-8 and its length in bytes.
char32_t codePointAt(std::string_view text, std::size_t at, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (at + length > text.size()) {
        length = text.size() - at;
        return 0xFFFD;
    }
    char32_t cp = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return cp;
}

bool isSpace(char32_t cp) {
    return cp == ' ' || cp == '\t' || cp == 0xA0 || cp == 0x3000 || cp == 0xFEFF;
}

std::string_view trimmed(std::string_view text) {
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t n = 0;
        if (!isSpace(codePointAt(text, from, n))) {
            break;
        }
        from += n;
    }
    std::size_t to = text.size();
    while (to > from) {
        // Step back to the start of the last character.
        std::size_t start = to - 1;
        while (start > from && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        std::size_t n = 0;
        if (!isSpace(codePointAt(text, start, n))) {
            break;
        }
        to = start;
    }
    return text.substr(from, to - from);
}

// The line as a message quotes it: controls shown as "?", long lines cut.
std::string quoted(std::string_view line) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t at = 0; at < line.size();) {
        std::size_t n = 0;
        const char32_t cp = codePointAt(line, at, n);
        if (++chars > kQuotedChars) {
            out += "…";
            break;
        }
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
            out += '?';
        } else {
            out.append(line.substr(at, n));
        }
        at += n;
    }
    return out;
}

}  // namespace

std::string decodeListText(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) {
        return base::decodeUtf8Lossy(bytes.substr(kUtf8Bom.size()));
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return decodeUtf16(bytes.substr(2), false);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return decodeUtf16(bytes.substr(2), true);
    }
    return net::decodeUndeclared(bytes);
}

NameList parseNameList(std::string_view bytes, const ListLimits& limits) {
    const std::string text = decodeListText(bytes);
    const std::string_view all = text;
    NameList list;
    std::unordered_set<std::string> seen;
    std::size_t lineNumber = 0;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = std::min(all.find('\n', at), all.size());
        std::string_view line = all.substr(at, end - at);
        at = end + 1;
        if (++lineNumber > limits.maxLines) {
            NameList failed;
            failed.error = "名单超过 " + std::to_string(limits.maxLines) + " 行的上限";
            return failed;
        }
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const std::string_view name = trimmed(line);
        if (name.empty()) {
            continue;
        }
        if (const auto problem = domainProblem(name)) {
            list.skipped.push_back(
                {.line = lineNumber, .message = *problem + "（“" + quoted(name) + "”），已跳过"});
            continue;
        }
        if (seen.insert(base::nameKey(name)).second) {
            list.names.emplace_back(name);
        }
    }
    return list;
}

NameList readNameListFile(const std::string& path, const std::atomic<bool>& interrupted,
                          const ListReadSink& progress, const ListLimits& limits) {
    NameList failed;
    const auto fail = [&](std::string why) {
        failed.error = "无法读取名单文件 " + path + "：" + std::move(why);
        return failed;
    };
    // Non-blocking, so that a FIFO without a writer does not hold the open: the wait for the
    // writer is the poll below, which looks at the interruption between its rounds.
    const io::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        const int err = errno;
        struct stat st {};
        if (err == ENXIO && ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            return fail("这是套接字，不是名单文件（只能读普通文件或管道）");
        }
        return fail(app::fileFailureText(err, "open"));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return fail(app::fileFailureText(errno, "fstat"));
    }
    if (S_ISDIR(st.st_mode)) {
        return fail("这是文件夹，不是名单文件");
    }
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        return fail("这是设备或特殊文件，不是名单文件（只能读普通文件或管道）");
    }
    const std::string tooBig = "超过 " + std::to_string(limits.maxBytes / kMiB) + " MiB 的上限";
    if (S_ISREG(st.st_mode) && static_cast<std::uintmax_t>(st.st_size) > limits.maxBytes) {
        return fail(tooBig);
    }
    std::string bytes;
    std::size_t lines = 0;
    const std::size_t size = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
    std::string chunk(kReadChunk, '\0');
    for (;;) {
        if (progress) {
            progress({.bytes = bytes.size(), .size = size, .lines = lines});
        }
        if (interrupted.load()) {
            NameList stopped;
            stopped.interrupted = true;
            return stopped;
        }
        pollfd p{fd.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR) {
            return fail(app::fileFailureText(errno, "poll"));
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd.get(), chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return fail(app::fileFailureText(errno, "读取出错"));
        }
        if (n == 0) {
            break;
        }
        const std::string_view got(chunk.data(), static_cast<std::size_t>(n));
        if (bytes.size() + got.size() > limits.maxBytes) {
            return fail(tooBig);
        }
        bytes.append(got);
        lines += static_cast<std::size_t>(std::count(got.begin(), got.end(), '\n'));
        if (lines > limits.maxLines) {
            return fail("超过 " + std::to_string(limits.maxLines) + " 行的上限");
        }
    }
    NameList list = parseNameList(bytes, limits);
    if (!list.error.empty()) {
        list.error = "无法读取名单文件 " + path + "：" + list.error;
    }
    return list;
}

}  // namespace jilan::cli
