#pragma once

#include <sys/types.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace jilan::io {

// Why a file could not be written. The user's text is made from `errnum` by the caller;
// `detail` only carries what errno cannot say (e.g. a library's own message).
struct WriteFailure {
    int errnum = 0;               // the errno of the step that failed, 0 when there is none
    bool notRegularFile = false;  // the target is of a kind nothing can be written to (a socket)
    std::string path;             // the target as the caller named it
    std::string detail;           // the step that failed, for logs and "未知错误（...）"

    friend bool operator==(const WriteFailure&, const WriteFailure&) = default;
};

// Empty when every byte reached its place.
using WriteStatus = std::optional<WriteFailure>;

// How a target is written; the first rule that applies wins:
//  - Descriptor: the target is standard input, output or error (same device and inode), or
//    "-" for standard output. Written as it is: no open, no truncation, no rename.
//  - Atomic: the target is absent, or a regular file with one link that belongs to the user.
//    A temporary file beside it is written, flushed and renamed over it; the old file's mode
//    is kept. When the temporary file cannot be created (EACCES, EPERM, EROFS), in place.
//  - InPlace: every other case (another owner, several links, FIFOs, devices, a writable file
//    in a folder the user cannot write to). Opened without truncation; a regular file has
//    its new size reserved before the first byte is written, so running out of room leaves
//    the old bytes intact. Not crash-safe: a kill mid-write leaves a mix.
enum class WriteMode { Descriptor, Atomic, InPlace };

// Streams bytes to a target by the rules above. Nothing is visible at the target until
// commit() on the atomic path; destroying an uncommitted writer removes its temporary file
// and leaves the old file as it was. Symbolic links are followed.
class FileWriter {
public:
    FileWriter();
    ~FileWriter();
    FileWriter(FileWriter&&) noexcept;
    FileWriter& operator=(FileWriter&&) noexcept;
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    WriteStatus open(const std::string& path);
    // Buffered; the first failure is kept and returned by every later call.
    WriteStatus write(std::string_view bytes);
    WriteStatus commit();

    WriteMode mode() const;
    bool isOpen() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    friend WriteStatus writeFile(const std::string& path, std::string_view bytes);
};

// The whole of `bytes` to `path` through a FileWriter.
WriteStatus writeFile(const std::string& path, std::string_view bytes);

// Whether FileWriter could write `path`, by the same rules, without touching the target's
// content (on the atomic path a temporary file is created and removed again).
WriteStatus checkWritable(const std::string& path);

// {date} becomes the local date YYYY-MM-DD, {time} the local time HHMMSS; every other
// character is kept.
std::string expandOutputTemplate(std::string_view path, std::time_t now);

// Creates the folders missing on the way to `filePath`'s folder (like mkdir -p).
WriteStatus createMissingFolders(const std::string& filePath);

// SIGPIPE and SIGXFSZ ignored, so a closed reader or a file-size limit comes back as EPIPE
// or EFBIG from write() instead of ending the process. Called once at start-up.
void ignoreWriteSignals();

}  // namespace jilan::io
