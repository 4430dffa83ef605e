#include "durable_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <utility>

#include "base/utf8.h"
#include "unique_fd.h"

namespace jilan::io {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// Bytes an in-place write keeps in memory before it moves them to a spool file.
constexpr std::size_t kSpoolInMemory = 16 * 1024 * 1024;
constexpr int kMaxLinkDepth = 40;

WriteFailure failure(const std::string& path, int errnum, std::string detail) {
    WriteFailure f;
    f.errnum = errnum;
    f.path = path;
    f.detail = std::move(detail);
    return f;
}

int writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A descriptor handed to us non-blocking (a pipe): wait until it drains.
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, -1);
                continue;
            }
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int pwriteAll(int fd, std::string_view data, off_t offset) {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return 0;
}

// fsync where the target supports it: pipes, terminals and some devices answer EINVAL.
int syncIfSupported(int fd) {
    if (::fsync(fd) == 0) {
        return 0;
    }
    const int err = errno;
    return (err == EINVAL || err == EROFS || err == ENOTSUP || err == EOPNOTSUPP) ? 0 : err;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links in the last component, also a dangling one (the file it names is
// then created), so the rename replaces the file the link points at and keeps the link.
bool resolveLinks(const std::string& path, std::string& out, int& err) {
    out = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat st {};
        if (::lstat(out.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return true;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(out.c_str(), link.data(), link.size());
        if (n < 0) {
            err = errno;
            return false;
        }
        link.resize(static_cast<std::size_t>(n));
        if (!link.empty() && link[0] == '/') {
            out = link;
        } else {
            const std::size_t slash = out.rfind('/');
            out = slash == std::string::npos ? link : out.substr(0, slash + 1) + link;
        }
    }
    err = ELOOP;
    return false;
}

// The name stays under NAME_MAX and is cut at a UTF-8 character boundary.
std::string temporaryPrefix(const std::string& name);

std::string temporaryName(const std::string& name, std::mt19937_64& random) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string out = temporaryPrefix(name);
    for (int i = 0; i < 6; ++i) {
        out += kLetters[random() % (sizeof kLetters - 1)];
    }
    return out;
}

// The start of the temporary names of `name`: "." + name cut + "."; six letters follow.
std::string temporaryPrefix(const std::string& name) {
    std::size_t keep = std::min<std::size_t>(name.size(), 200);
    while (keep > 0 && keep < name.size() && base::isUtf8Continuation(name[keep])) {
        --keep;
    }
    return "." + name.substr(0, keep) + ".";
}

// Removes the named temporaries of `target` that a killed writer left behind: those of this
// program's pattern on which a lock can be taken (a running writer holds the lock of its own).
void removeAbandonedTemporaries(const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string prefix = temporaryPrefix(nameOf(target));
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) {
            continue;
        }
        const UniqueFd fd(
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        struct stat st {};
        if (fd && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// Creates a new temporary file beside `target`, with the permission bits a new file gets
// under the umask. Where the file system can, the file has no name at all (O_TMPFILE) until
// commit gives it one, so a killed writer leaves nothing behind; `tempPath` stays empty then.
// Elsewhere it is a named file held under a lock. Either way the abandoned temporaries of
// earlier writers (a file system without O_TMPFILE, or a kill between naming and renaming)
// are removed first. Returns the errno of the creation on failure.
int createTemporary(const std::string& target, UniqueFd& fd, std::string& tempPath) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string folder = folderOf(target);
    removeAbandonedTemporaries(target);
    const int anonymous = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (anonymous >= 0) {
        // The name is given through /proc; without it the named way is taken.
        if (::access("/proc/self/fd", X_OK) == 0) {
            fd.reset(anonymous);
            tempPath.clear();
            return 0;
        }
        ::close(anonymous);
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
        return errno;
    }
    const std::string prefix = target.find('/') == std::string::npos ? "" : folder + "/";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = prefix + temporaryName(nameOf(target), random);
        const int created =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (created >= 0) {
            fd.reset(created);
            tempPath = candidate;
            (void)::flock(created, LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

// Gives the anonymous file `fd` a temporary name beside `target` (linkat cannot replace a
// file, so the name is new and rename puts it in place).
int nameAnonymous(int fd, const std::string& target, std::string& tempPath) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const std::string prefix = target.find('/') == std::string::npos ? "" : folderOf(target) + "/";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = prefix + temporaryName(nameOf(target), random);
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            tempPath = candidate;
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

bool canFallBackInPlace(int err) {
    return err == EACCES || err == EPERM || err == EROFS;
}

enum class TargetKind { Descriptor, AtomicCandidate, InPlaceRegular, InPlaceStream };

struct Plan {
    TargetKind kind = TargetKind::AtomicCandidate;
    int descriptor = -1;
    std::string resolved;  // the file behind any links
    bool exists = false;
    struct stat info {};
};

// Decides how `path` is written, without creating or opening anything.
WriteStatus planFor(const std::string& path, Plan& plan) {
    if (path.empty()) {
        return failure(path, ENOENT, "empty path");
    }
    if (path == "-") {
        plan.kind = TargetKind::Descriptor;
        plan.descriptor = STDOUT_FILENO;
        return std::nullopt;
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0) {
        // Standard input is not an output: /dev/null as standard input (cron, systemd) and
        // as --output is written like any other path.
        for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
            struct stat standard {};
            if (::fstat(fd, &standard) == 0 && standard.st_dev == target.st_dev &&
                standard.st_ino == target.st_ino) {
                plan.kind = TargetKind::Descriptor;
                plan.descriptor = fd;
                return std::nullopt;
            }
        }
    }
    int err = 0;
    if (!resolveLinks(path, plan.resolved, err)) {
        return failure(path, err, "readlink");
    }
    if (nameOf(plan.resolved).empty()) {
        return failure(path, EISDIR, "path names a folder");
    }
    if (::stat(plan.resolved.c_str(), &plan.info) != 0) {
        if (errno != ENOENT) {
            return failure(path, errno, "stat");
        }
        plan.kind = TargetKind::AtomicCandidate;
        return std::nullopt;
    }
    plan.exists = true;
    const mode_t type = plan.info.st_mode & S_IFMT;
    if (type == S_IFDIR) {
        return failure(path, EISDIR, "target is a folder");
    }
    if (type == S_IFREG) {
        const bool replaceable = plan.info.st_nlink == 1 && plan.info.st_uid == ::geteuid();
        plan.kind = replaceable ? TargetKind::AtomicCandidate : TargetKind::InPlaceRegular;
        return std::nullopt;
    }
    if (type == S_IFIFO || type == S_IFCHR || type == S_IFBLK) {
        plan.kind = TargetKind::InPlaceStream;
        return std::nullopt;
    }
    WriteFailure socketLike = failure(path, 0, "target is not a file, pipe or device");
    socketLike.notRegularFile = true;
    return socketLike;
}

// Opens an existing target for writing without truncating it. A FIFO is opened
// non-blocking so that a pipe without a reader fails with ENXIO instead of hanging.
int openInPlace(const std::string& file, bool fifo, UniqueFd& fd) {
    const int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY | (fifo ? O_NONBLOCK : 0);
    const int opened = ::open(file.c_str(), flags);
    if (opened < 0) {
        return errno;
    }
    fd.reset(opened);
    if (fifo) {
        const int current = ::fcntl(opened, F_GETFL);
        if (current < 0 || ::fcntl(opened, F_SETFL, current & ~O_NONBLOCK) != 0) {
            return errno;
        }
    }
    return 0;
}

// Bytes of an in-place write, held until their total size is known: the target is only
// touched once the whole new size could be reserved.
class Spool {
public:
    int append(std::string_view bytes) {
        if (!file_ && memory_.size() + bytes.size() > kSpoolInMemory) {
            if (const int err = spill(); err != 0) {
                return err;
            }
        }
        size_ += bytes.size();
        if (!file_) {
            memory_.append(bytes);
            return 0;
        }
        return writeAll(file_.get(), bytes);
    }
    std::size_t size() const { return size_; }

    int copyTo(int fd) const {
        if (!file_) {
            return pwriteAll(fd, memory_, 0);
        }
        std::string chunk(1024 * 1024, '\0');
        off_t offset = 0;
        while (static_cast<std::size_t>(offset) < size_) {
            const ssize_t n = ::pread(file_.get(), chunk.data(), chunk.size(), offset);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (n == 0) {
                return EIO;
            }
            if (const int err = pwriteAll(
                    fd, std::string_view(chunk.data(), static_cast<std::size_t>(n)), offset);
                err != 0) {
                return err;
            }
            offset += n;
        }
        return 0;
    }

private:
    int spill() {
        const char* env = std::getenv("TMPDIR");
        const std::string folder = env != nullptr && *env != '\0' ? env : "/tmp";
        int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            std::string templ = folder + "/jilan-spool-XXXXXX";
            fd = ::mkostemp(templ.data(), O_CLOEXEC);
            if (fd < 0) {
                return errno;
            }
            ::unlink(templ.c_str());
        }
        file_.reset(fd);
        const int err = writeAll(fd, memory_);
        memory_.clear();
        memory_.shrink_to_fit();
        return err;
    }

    std::string memory_;
    UniqueFd file_;
    std::size_t size_ = 0;
};

// Reserves `size` bytes for the file so that running out of room is found before the old
// bytes are overwritten. fallocate(2) rather than posix_fallocate: glibc's emulation of the
// latter writes into the file where the file system cannot reserve, which is what this
// avoids; such file systems are simply written without the reservation.
int reserve(int fd, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    int result = 0;
    do {
        result = ::fallocate(fd, 0, 0, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        return 0;
    }
    const int err = errno;
    return (err == EOPNOTSUPP || err == ENOSYS || err == EINVAL || err == ENODEV) ? 0 : err;
}

}  // namespace

struct FileWriter::State {
    std::string path;  // as the caller named it
    WriteMode mode = WriteMode::Atomic;
    int descriptor = -1;  // the standard descriptor of the Descriptor mode, not owned
    UniqueFd fd;
    std::string target;  // the resolved file of the atomic and in-place modes
    std::string tempPath;
    bool regular = false;  // in place: a regular file, written through the spool
    Spool spool;
    std::string buffer;
    WriteStatus failed;
    bool committed = false;

    ~State() {
        if (!tempPath.empty() && !committed) {
            fd.reset();
            ::unlink(tempPath.c_str());
        }
    }

    int out() const { return mode == WriteMode::Descriptor ? descriptor : fd.get(); }

    WriteStatus fail(int errnum, std::string detail) {
        failed = failure(path, errnum, std::move(detail));
        return failed;
    }

    WriteStatus flush() {
        if (buffer.empty()) {
            return std::nullopt;
        }
        const int err = regular ? spool.append(buffer) : writeAll(out(), buffer);
        buffer.clear();
        if (err != 0) {
            return fail(err, regular ? "spool" : "write");
        }
        return std::nullopt;
    }

    // The whole content is known: reserve, write from offset 0, cut to size, flush.
    template <typename Source>
    WriteStatus commitInPlaceRegular(const Source& source, std::size_t size) {
        if (const int err = reserve(fd.get(), size); err != 0) {
            return fail(err, "fallocate");
        }
        if (const int err = source(fd.get()); err != 0) {
            return fail(err, "write");
        }
        if (::ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
            return fail(errno, "ftruncate");
        }
        if (const int err = syncIfSupported(fd.get()); err != 0) {
            return fail(err, "fsync");
        }
        if (const int err = fd.close(); err != 0) {
            return fail(err, "close");
        }
        committed = true;
        return std::nullopt;
    }
};

FileWriter::FileWriter() = default;
FileWriter::~FileWriter() = default;
FileWriter::FileWriter(FileWriter&&) noexcept = default;
FileWriter& FileWriter::operator=(FileWriter&&) noexcept = default;

WriteStatus FileWriter::open(const std::string& path) {
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.path = path;
    Plan plan;
    if (WriteStatus planned = planFor(path, plan)) {
        s.failed = planned;
        return planned;
    }
    if (plan.kind == TargetKind::Descriptor) {
        s.mode = WriteMode::Descriptor;
        s.descriptor = plan.descriptor;
        return std::nullopt;
    }
    s.target = plan.resolved;
    TargetKind kind = plan.kind;
    if (kind == TargetKind::AtomicCandidate) {
        const int err = createTemporary(plan.resolved, s.fd, s.tempPath);
        if (err == 0) {
            s.mode = WriteMode::Atomic;
            if (plan.exists) {
                if (::fchmod(s.fd.get(), plan.info.st_mode & 07777) != 0) {
                    return s.fail(errno, "fchmod");
                }
                // Keep the group too where we may; a file of a shared folder stays shared.
                (void)::fchown(s.fd.get(), static_cast<uid_t>(-1), plan.info.st_gid);
            }
            return std::nullopt;
        }
        if (!plan.exists || !canFallBackInPlace(err)) {
            return s.fail(err, "create temporary file");
        }
        kind = TargetKind::InPlaceRegular;
    }
    s.mode = WriteMode::InPlace;
    const bool fifo = S_ISFIFO(plan.info.st_mode);
    if (const int err = openInPlace(plan.resolved, fifo, s.fd); err != 0) {
        return s.fail(err, "open");
    }
    struct stat opened {};
    if (::fstat(s.fd.get(), &opened) != 0) {
        return s.fail(errno, "fstat");
    }
    s.regular = S_ISREG(opened.st_mode);
    return std::nullopt;
}

WriteStatus FileWriter::write(std::string_view bytes) {
    if (!state_) {
        return failure({}, EBADF, "writer not open");
    }
    State& s = *state_;
    if (s.failed) {
        return s.failed;
    }
    if (s.committed) {
        return s.fail(EBADF, "write after commit");
    }
    if (s.buffer.size() + bytes.size() > kBufferSize) {
        if (WriteStatus err = s.flush()) {
            return err;
        }
        if (bytes.size() >= kBufferSize) {
            const int err = s.regular ? s.spool.append(bytes) : writeAll(s.out(), bytes);
            return err == 0 ? std::nullopt : s.fail(err, s.regular ? "spool" : "write");
        }
    }
    s.buffer.append(bytes);
    return std::nullopt;
}

WriteStatus FileWriter::commit() {
    if (!state_) {
        return failure({}, EBADF, "writer not open");
    }
    State& s = *state_;
    if (s.failed || s.committed) {
        return s.failed;
    }
    if (WriteStatus err = s.flush()) {
        return err;
    }
    switch (s.mode) {
        case WriteMode::Descriptor:
            s.committed = true;
            return std::nullopt;
        case WriteMode::Atomic: {
            if (::fsync(s.fd.get()) != 0) {
                return s.fail(errno, "fsync");
            }
            if (s.tempPath.empty()) {
                if (const int err = nameAnonymous(s.fd.get(), s.target, s.tempPath); err != 0) {
                    return s.fail(err, "linkat");
                }
            }
            // Renamed while still open: a named temporary keeps its lock until it has its
            // place, so no other writer's clean-up takes it for an abandoned one.
            if (::rename(s.tempPath.c_str(), s.target.c_str()) != 0) {
                return s.fail(errno, "rename");
            }
            s.committed = true;
            if (const int err = s.fd.close(); err != 0) {
                return s.fail(err, "close");
            }
            // The new directory entry made durable too; the data already is.
            const UniqueFd dir(
                ::open(folderOf(s.target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (dir) {
                ::fsync(dir.get());
            }
            return std::nullopt;
        }
        case WriteMode::InPlace:
            break;
    }
    if (s.regular) {
        const Spool& spool = s.spool;
        return s.commitInPlaceRegular([&spool](int fd) { return spool.copyTo(fd); }, spool.size());
    }
    if (const int err = syncIfSupported(s.fd.get()); err != 0) {
        return s.fail(err, "fsync");
    }
    if (const int err = s.fd.close(); err != 0) {
        return s.fail(err, "close");
    }
    s.committed = true;
    return std::nullopt;
}

WriteMode FileWriter::mode() const {
    return state_ ? state_->mode : WriteMode::Atomic;
}

bool FileWriter::isOpen() const {
    return state_ && !state_->failed && !state_->committed;
}

WriteStatus writeFile(const std::string& path, std::string_view bytes) {
    FileWriter writer;
    if (WriteStatus err = writer.open(path)) {
        return err;
    }
    FileWriter::State& s = *writer.state_;
    if (s.mode == WriteMode::InPlace && s.regular) {
        // Everything is at hand: no spool needed.
        return s.commitInPlaceRegular([bytes](int fd) { return pwriteAll(fd, bytes, 0); },
                                      bytes.size());
    }
    if (WriteStatus err = writer.write(bytes)) {
        return err;
    }
    return writer.commit();
}

WriteStatus checkWritable(const std::string& path) {
    Plan plan;
    if (WriteStatus planned = planFor(path, plan)) {
        return planned;
    }
    if (plan.kind == TargetKind::Descriptor) {
        const int flags = ::fcntl(plan.descriptor, F_GETFL);
        if (flags < 0) {
            return failure(path, errno, "fcntl");
        }
        if ((flags & O_ACCMODE) == O_RDONLY) {
            return failure(path, EBADF, "descriptor is read-only");
        }
        return std::nullopt;
    }
    if (plan.kind == TargetKind::AtomicCandidate) {
        UniqueFd fd;
        std::string tempPath;
        const int err = createTemporary(plan.resolved, fd, tempPath);
        if (err == 0) {
            fd.reset();
            if (!tempPath.empty()) {
                ::unlink(tempPath.c_str());
            }
            return std::nullopt;
        }
        if (!plan.exists || !canFallBackInPlace(err)) {
            return failure(path, err, "create temporary file");
        }
    }
    if (S_ISREG(plan.info.st_mode)) {
        UniqueFd fd;
        if (const int err = openInPlace(plan.resolved, false, fd); err != 0) {
            return failure(path, err, "open");
        }
        return std::nullopt;
    }
    // Opening a FIFO and closing it again would end its reader's input: asked, not tried.
    if (::faccessat(AT_FDCWD, plan.resolved.c_str(), W_OK, AT_EACCESS) != 0) {
        return failure(path, errno, "access");
    }
    return std::nullopt;
}

std::string expandOutputTemplate(std::string_view path, std::time_t now) {
    std::tm local{};
    ::localtime_r(&now, &local);
    std::array<char, 16> date{};
    std::array<char, 16> time{};
    std::strftime(date.data(), date.size(), "%Y-%m-%d", &local);
    std::strftime(time.data(), time.size(), "%H%M%S", &local);
    std::string out;
    out.reserve(path.size() + 8);
    constexpr std::string_view kDate = "{date}";
    constexpr std::string_view kTime = "{time}";
    for (std::size_t i = 0; i < path.size();) {
        if (path.substr(i, kDate.size()) == kDate) {
            out += date.data();
            i += kDate.size();
        } else if (path.substr(i, kTime.size()) == kTime) {
            out += time.data();
            i += kTime.size();
        } else {
            out += path[i++];
        }
    }
    return out;
}

WriteStatus createMissingFolders(const std::string& filePath) {
    if (filePath == "-") {
        return std::nullopt;
    }
    const std::size_t last = filePath.rfind('/');
    if (last == std::string::npos || last == 0) {
        return std::nullopt;
    }
    const std::string folder = filePath.substr(0, last);
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string prefix = folder.substr(0, end);
        if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), 0777) != 0) {
            const int err = errno;
            struct stat st {};
            if (err != EEXIST) {
                return failure(filePath, err, "mkdir " + prefix);
            }
            if (::stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return failure(filePath, ENOTDIR, "not a folder: " + prefix);
            }
        }
        if (end == std::string::npos) {
            return std::nullopt;
        }
    }
}

void ignoreWriteSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace jilan::io
