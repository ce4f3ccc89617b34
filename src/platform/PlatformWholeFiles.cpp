// Whole-file reads and writes and script source lines.
//
// Writes never destroy what they replace: the new content goes to a
// temporary file in the target's folder, is flushed to the disk, and only
// then takes the target's place by a rename, so a full disk, a size limit or
// an interrupted run leaves the old file whole. Reads of pipes and devices
// wait in slices so that Ctrl-C abandons them.
#include "platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "values/Error.h"
#include "values/Limits.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vorn::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxBinaryFileBytes = (std::uintmax_t(1) << 31) - 1;
// How long a read of a pipe or device waits before it looks for Ctrl-C.
constexpr int kReadSliceMilliseconds = 50;
// Symbolic links followed to find the file a write replaces.
constexpr int kMaxLinkHops = 40;

[[noreturn]] void cannotRead(const std::string& path) { throw ScriptError("cannot read file", path); }
[[noreturn]] void cannotWrite(const std::string& path) { throw ScriptError("cannot write file", path); }

// Appends got bytes, refusing to grow past the text limit (plus `slack`
// bytes that the caller will drop).
void appendLimited(std::string& content, const char* data, std::size_t got, std::size_t slack) {
    if (content.size() + got > Limits::maxTextBytes() + slack) throw Limits::textTooLong();
    content.append(data, got);
}

// ---- Reading ------------------------------------------------------------------

#ifdef _WIN32

std::wstring wideFromNarrow(const std::string& path) {
    // The C runtime reads narrow names in the ANSI code page; so do we.
    const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return wide;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The whole file, or nullopt-like `found == false` when nothing is at path.
std::string readWhole(const std::string& path, bool text, std::size_t slack, bool& found) {
    found = false;
    detail::pathWithoutZeroBytes(path, "cannot read file");
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), text ? "r" : "rb"));
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) return std::string();
        cannotRead(path);
    }
    found = true;
    std::string content;
    char chunk[16384];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        appendLimited(content, chunk, got, slack);
        if (gInterruptRequested) throwIfInterrupted();
    }
    if (std::ferror(file.get())) cannotRead(path);
    return content;
}

#else

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Waits until fd can be read, looking for Ctrl-C every slice.
void waitReadable(int fd) {
    for (;;) {
        throwIfInterrupted();
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, kReadSliceMilliseconds);
        if (ready > 0) return;
        if (ready < 0 && errno != EINTR) return;  // the read reports it
    }
}

std::string readWhole(const std::string& path, bool, std::size_t slack, bool& found) {
    found = false;
    detail::pathWithoutZeroBytes(path, "cannot read file");
    // Not blocking: opening a FIFO that no one writes would wait for ever.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::string();
        cannotRead(path);
    }
    found = true;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) cannotRead(path);
    const bool regular = S_ISREG(info.st_mode);
    if (regular) ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    // A file that cannot fit is refused before a byte of it is held.
    if (regular && static_cast<std::uintmax_t>(info.st_size) > Limits::maxTextBytes() + slack)
        throw Limits::textTooLong();

    std::string content;
    char chunk[16384];
    for (;;) {
        if (!regular) waitReadable(file.get());
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got > 0) {
            appendLimited(content, chunk, static_cast<std::size_t>(got), slack);
            throwIfInterrupted();
            continue;
        }
        if (got == 0) break;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
            throwIfInterrupted();
            continue;
        }
        cannotRead(path);
    }
    return content;
}

#endif

// ---- Replacing ----------------------------------------------------------------

// The file that writing to path replaces: symbolic links are followed, so
// the file a link points to is replaced and the link stays a link.
fs::path replacedFile(const fs::path& start, const std::string& path) {
    fs::path current = start;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) return current;
        const fs::path target = fs::read_symlink(current, error);
        if (error) cannotWrite(path);
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    cannotWrite(path);  // a loop of links
}

#ifdef _WIN32

bool writeAllTo(int fd, const char* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const unsigned piece = static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 30));
        const int wrote = _write(fd, bytes + done, piece);
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// Overwrites an existing file in place. A regular file gets the room its new
// content needs before any old byte changes, so a full disk leaves it whole;
// a device is simply written to.
void overwriteInPlace(const std::string& path, const fs::path& target, const void* data, std::size_t size,
                      bool text) {
    int fd = -1;
    if (_wsopen_s(&fd, target.c_str(), _O_WRONLY | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0) cannotWrite(path);
    struct _stat64 old {};
    if (_fstat64(fd, &old) != 0) {
        _close(fd);
        cannotWrite(path);
    }
    // Text mode's line ends, made here so that the size is known up front.
    std::string translated;
    const char* bytes = static_cast<const char*>(data);
    if (text) {
        translated.reserve(size);
        for (std::size_t i = 0; i < size; ++i) {
            if (bytes[i] == '\n') translated += '\r';
            translated += bytes[i];
        }
        bytes = translated.data();
        size = translated.size();
    }
    const bool regular = (old.st_mode & _S_IFMT) == _S_IFREG;
    bool ok = true;
    if (regular && static_cast<std::uint64_t>(size) > static_cast<std::uint64_t>(old.st_size) &&
        _chsize_s(fd, static_cast<long long>(size)) != 0) {
        _chsize_s(fd, old.st_size);
        ok = false;
    }
    ok = ok && writeAllTo(fd, bytes, size);
    if (ok && regular && static_cast<std::uint64_t>(size) < static_cast<std::uint64_t>(old.st_size))
        ok = _chsize_s(fd, static_cast<long long>(size)) == 0;
    if (ok && regular) ok = _commit(fd) == 0;
    if (_close(fd) != 0) ok = false;
    if (!ok) cannotWrite(path);
}

void replaceContent(const std::string& path, const void* data, std::size_t size, bool text) {
    const fs::path target = replacedFile(fs::path(wideFromNarrow(path)), path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) cannotWrite(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(L".");
    static unsigned counter = 0;
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder / (L".vorn-" + std::to_wstring(_getpid()) + L"-" + std::to_wstring(++counter) +
                              L"-" + std::to_wstring(GetTickCount()));
        const int flags = _O_CREAT | _O_EXCL | _O_WRONLY | (text ? _O_TEXT : _O_BINARY);
        if (_wsopen_s(&fd, temporary.c_str(), flags, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0) {
            fd = -1;
            if (errno != EEXIST) break;
        }
    }
    // A special file such as NUL cannot be renamed over, and a folder that
    // does not let us make the temporary file leaves only the file itself.
    if (fd < 0) {
        if (existed) return overwriteInPlace(path, target, data, size, text);
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), text ? "w" : "wb"));
        if (!file) cannotWrite(path);
        const bool written = size == 0 || std::fwrite(data, 1, size, file.get()) == size;
        if (std::fclose(file.release()) != 0 || !written) cannotWrite(path);
        return;
    }
    bool ok = writeAllTo(fd, static_cast<const char*>(data), size);
    if (ok && _commit(fd) != 0) ok = false;
    if (_close(fd) != 0) ok = false;
    if (ok) {
        // ReplaceFileW keeps the replaced file's attributes and security
        // settings; where it cannot be used (some file systems, Wine) the
        // rename replaces the file all the same.
        ok = (existed && ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                      nullptr, nullptr) != 0) ||
             MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
        cannotWrite(path);
    }
}

#else

// The permission bits a new file gets: everything the umask allows.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = ::write(fd, bytes + done, size - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// For its lifetime, a write to a pipe whose reader has gone fails with EPIPE
// instead of ending the process with SIGPIPE. The signal is held back for
// this thread only, and one that the write raised is taken away unseen.
class BrokenPipeAsError {
public:
    BrokenPipeAsError() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
        sigset_t pending;
        pendingBefore_ = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE);
    }
    ~BrokenPipeAsError() {
        sigset_t pending;
        int taken = 0;
        if (!pendingBefore_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) sigwait(&pipe_, &taken);
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
    BrokenPipeAsError(const BrokenPipeAsError&) = delete;
    BrokenPipeAsError& operator=(const BrokenPipeAsError&) = delete;

private:
    sigset_t pipe_{};
    sigset_t saved_{};
    bool pendingBefore_ = false;
};

// Writes to a device or a FIFO, which cannot be replaced by a rename.
// Opening a FIFO waits until it has a reader and a write waits while the
// pipe is full; both wait in slices, so that Ctrl-C abandons them as it
// abandons reads.
void writeToDevice(const std::string& path, const void* data, std::size_t size) {
    int fd = -1;
    for (;;) {
        fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) break;
        // ENXIO: a FIFO that no one reads yet.
        if (errno != ENXIO && errno != EINTR) cannotWrite(path);
        throwIfInterrupted();
        ::poll(nullptr, 0, kReadSliceMilliseconds);
    }
    const Descriptor file(fd);
    const BrokenPipeAsError brokenPipe;
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        throwIfInterrupted();
        const ssize_t wrote = ::write(fd, bytes + done, size - done);
        if (wrote > 0) {
            done += static_cast<std::size_t>(wrote);
            continue;
        }
        if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd entry{fd, POLLOUT, 0};
            ::poll(&entry, 1, kReadSliceMilliseconds);
            continue;
        }
        if (wrote < 0 && errno == EINTR) continue;
        cannotWrite(path);
    }
}

// Overwrites a file in place, for a file whose folder does not let us make
// the temporary file beside it. The room the new content needs is reserved
// before any old byte changes, so a full disk or a size limit (ulimit -f)
// fails the write with the old file still whole.
void overwriteInPlace(const std::string& path, const void* data, std::size_t size) {
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    struct stat old {};
    if (file.get() < 0 || ::fstat(file.get(), &old) != 0 || !S_ISREG(old.st_mode)) cannotWrite(path);
    const auto oldSize = static_cast<std::uintmax_t>(old.st_size);
    if (size > oldSize) {
        // Blocks past the old end only; the old bytes are left alone.
        const int reserved = ::posix_fallocate(file.get(), 0, static_cast<off_t>(size));
        if (reserved != 0) {
            // A partly made reservation may have moved the end; put it back.
            const int restored = ::ftruncate(file.get(), old.st_size);
            (void)restored;
            cannotWrite(path);
        }
    }
    bool ok = writeAll(file.get(), data, size);
    if (!ok && size > oldSize) {
        const int restored = ::ftruncate(file.get(), old.st_size);
        (void)restored;
    }
    if (ok && size < oldSize) ok = ::ftruncate(file.get(), static_cast<off_t>(size)) == 0;
    ok = ok && ::fsync(file.get()) == 0;
    if (!ok) cannotWrite(path);
}

void replaceContent(const std::string& path, const void* data, std::size_t size, bool) {
    // A size limit (ulimit -f) must fail the write, not end the process.
    static const bool sizeSignalIgnored = [] {
        ::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)sizeSignalIgnored;

    const std::string target = replacedFile(fs::path(path), path).string();
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode)) cannotWrite(path);
    if (existed && !S_ISREG(old.st_mode)) return writeToDevice(target, data, size);
    // The rename would replace a file we may not write to; refuse as opening it would.
    if (existed && ::access(target.c_str(), W_OK) != 0) cannotWrite(path);

    const std::size_t slash = target.rfind('/');
    std::string temporary = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".vorn-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        if (existed && (errno == EACCES || errno == EPERM)) return overwriteInPlace(target, data, size);
        cannotWrite(path);
    }
    bool ok = true;
    if (existed) {
        // Owner and group can only be kept by a privileged process; the
        // permission bits always are.
        const bool ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
        (void)ownerKept;
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    } else {
        ok = ::fchmod(fd, newFileMode()) == 0;
    }
    ok = ok && writeAll(fd, data, size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        cannotWrite(path);
    }
    // Makes the rename itself durable; the content is safe either way.
    const Descriptor folder(::open(slash == std::string::npos ? "." : target.substr(0, slash + 1).c_str(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

#endif

}  // namespace

std::string readTextFile(const std::string& path) {
    bool found = false;
    std::string content = readWhole(path, true, 1, found);
    // Joining the lines with '\n' gives back the content, except that a final
    // '\n' only ended the last line and is not part of the text.
    if (!content.empty() && content.back() == '\n') content.pop_back();
    Limits::checkTextSize(content.size());
    return content;
}

void writeTextFile(const std::string& path, std::string_view text) {
    replaceContent(detail::pathWithoutZeroBytes(path, "cannot write file"), text.data(), text.size(), true);
}

std::vector<std::uint8_t> readBinaryFile(const std::string& path) {
    // The size comes first: it also keeps a FIFO from being opened at all.
    std::error_code error;
    const std::uintmax_t size = fs::file_size(textToPath(path), error);
    if (error) throw ScriptError("cannot get file size", path + ": " + error.message());
    if (size == 0) return std::vector<std::uint8_t>{0};

    std::vector<std::uint8_t> bytes;
    const auto tooLarge = [&]() -> ScriptError {
        return ScriptError("cannot allocate memory", path + ": " + std::to_string(size) + " bytes");
    };
    // The read length is a signed 32-bit count, so files of 2 GiB or more
    // were never read whole; refusing them up front also keeps a huge sparse
    // file from having its size zero-filled into memory that is not there.
    if (size > kMaxBinaryFileBytes || size > bytes.max_size()) throw tooLarge();
    try {
        bytes.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        throw tooLarge();
    } catch (const std::length_error&) {
        throw tooLarge();
    }
    // A file that shrank since it was measured leaves the rest of the buffer
    // zero; one that cannot be opened is an error, not a file of zeros.
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) cannotRead(path);
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const std::size_t got = std::fread(bytes.data() + done, 1, bytes.size() - done, file.get());
            if (got == 0) break;
            done += got;
        }
    }
    return bytes;
}

void writeBinaryFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    replaceContent(detail::pathWithoutZeroBytes(path, "cannot write file"), bytes.data(), bytes.size(), false);
}

std::vector<std::string> readSourceLines(const std::string& path) {
    std::vector<std::string> lines;
    bool found = false;
    const std::string content = readWhole(path, true, 0, found);
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t newline = content.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        std::size_t end = newline;
#ifndef _WIN32
        // Files written on Windows keep their CRLF when read in POSIX text mode.
        // (Windows text mode has turned each CRLF into LF already; stripping
        // there too would eat a '\r' that stood before the CRLF: "a\r\r\n".)
        if (end > start && content[end - 1] == '\r') --end;
#endif
        lines.push_back(content.substr(start, end - start));
        start = newline + 1;
    }
    return lines;
}

namespace {

// Turns text read whole into a script's lines, each ending in '\n'.
std::string joinSourceLines(std::string text, std::size_t& lines) {
    // The lines are moved down in place over the line ends' dropped bytes.
    std::size_t kept = 0;
    std::size_t lineStart = 0;
    lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
#ifndef _WIN32
            // As readSourceLines: a CRLF line end loses its '\r'.
            if (kept > lineStart && text[kept - 1] == '\r') --kept;
#endif
            ++lines;
            text[kept++] = '\n';
            lineStart = kept;
        } else {
            text[kept++] = c;
        }
    }
    text.resize(kept);
    if (kept > lineStart) {
        ++lines;
        text += '\n';
    }
    return text;
}

}  // namespace

std::string readSourceText(const std::string& path, std::size_t& lines) {
    bool found = false;
    return joinSourceLines(readWhole(path, true, 0, found), lines);
}

std::string readStandardInputText(std::size_t& lines) {
    std::string content;
    char chunk[16384];
    std::size_t got = 0;
    // Reading stops at the limit: an endless input (yes, /dev/zero) is
    // refused, not held until memory runs out.
    while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) appendLimited(content, chunk, got, 0);
    if (std::ferror(stdin)) throw ScriptError("cannot read file", "standard input");
    return joinSourceLines(std::move(content), lines);
}

}  // namespace vorn::platform
