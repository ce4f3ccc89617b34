// Whole-file reads and writes, script source lines, and folder operations.
#include "platform/Platform.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "values/Error.h"
#include "values/Limits.h"

namespace vorn::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxBinaryFileBytes = (std::uintmax_t(1) << 31) - 1;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Whole-file operations hand the text to the C runtime as it is, so on
// Windows the name is read in the ANSI code page, not as UTF-8.
FileHandle openNarrow(const std::string& path, const char* mode) {
    return FileHandle(std::fopen(path.c_str(), mode));
}

// The rest of the stream; past the text limit (plus `slack` bytes the caller
// will drop) it stops with "out of memory" instead of growing without end.
std::string readRest(std::FILE* file, std::size_t slack = 0) {
    std::string content;
    char chunk[16384];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (content.size() + got > Limits::maxTextBytes() + slack) throw Limits::textTooLong();
        content.append(chunk, got);
    }
    return content;
}

// Writes all bytes and closes; false if either step fell short.
bool writeAndClose(FileHandle file, const void* data, std::size_t size) {
    const bool written = size == 0 || std::fwrite(data, 1, size, file.get()) == size;
    const bool closed = std::fclose(file.release()) == 0;
    return written && closed;
}

[[noreturn]] void fail(const char* operation, const std::string& path,
                       const std::error_code& error) {
    throw ScriptError(operation, path + ": " + error.message());
}

// Status following links; "not found" is an answer, not a failure.
fs::file_status statusOf(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(textToPath(path), error);
    if (status.type() == fs::file_type::not_found) return status;
    if (error) fail("status", path, error);
    return status;
}

}  // namespace

std::string readTextFile(const std::string& path) {
    const FileHandle file = openNarrow(path, "r");
    if (!file) return std::string();
    std::string content = readRest(file.get(), 1);
    // Joining the lines with '\n' gives back the content, except that a final
    // '\n' only ended the last line and is not part of the text.
    if (!content.empty() && content.back() == '\n') content.pop_back();
    Limits::checkTextSize(content.size());
    return content;
}

void writeTextFile(const std::string& path, std::string_view text) {
    FileHandle file = openNarrow(path, "w");
    if (!file || !writeAndClose(std::move(file), text.data(), text.size())) {
        throw ScriptError("cannot write file", path);
    }
}

std::vector<std::uint8_t> readBinaryFile(const std::string& path) {
    const FileHandle file = openNarrow(path, "rb");
    std::error_code error;
    const std::uintmax_t size = fs::file_size(textToPath(path), error);
    if (error) fail("cannot get file size", path, error);
    if (size == 0) return std::vector<std::uint8_t>{0};

    std::vector<std::uint8_t> bytes;
    const auto tooLarge = [&]() -> ScriptError {
        return ScriptError("cannot allocate memory",
                           path + ": " + std::to_string(size) + " bytes");
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
    // A file that could be measured but not opened, or that shrank meanwhile,
    // leaves the rest of the buffer zero.
    if (file) {
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
    FileHandle file = openNarrow(path, "wb");
    if (!file || !writeAndClose(std::move(file), bytes.data(), bytes.size())) {
        throw ScriptError("cannot write file", path);
    }
}

std::vector<std::string> readSourceLines(const std::string& path) {
    std::vector<std::string> lines;
    const FileHandle file = openNarrow(path, "r");
    if (!file) return lines;
    const std::string content = readRest(file.get());
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

void makeDirectory(const std::string& path) {
    const fs::path native = textToPath(path);
    std::error_code error;
    if (fs::create_directory(native, error) || error) {
        if (error) fail("cannot create directory", path, error);
        return;
    }
    // Nothing was created and nothing reported: something already has that
    // name, which is only acceptable when it is a folder.
    if (!fs::is_directory(native, error)) {
        fail("cannot create directory", path,
             error ? error : std::make_error_code(std::errc::file_exists));
    }
}

void removeAll(const std::string& path) {
    const fs::path native = textToPath(path);
    std::error_code error;
    fs::remove_all(native, error);
    if (!error) return;
    std::error_code ignored;
    if (fs::symlink_status(native, ignored).type() == fs::file_type::not_found) return;
    fail("cannot remove all", path, error);
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::error_code error;
    fs::directory_iterator entry(textToPath(path), error);
    if (error) fail("directory iterator cannot open directory", path, error);
    std::vector<std::string> names;
    for (const fs::directory_iterator end; entry != end;) {
        names.push_back(pathToText(entry->path().filename()));
        entry.increment(error);
        if (error) fail("directory iterator cannot advance", path, error);
    }
    return names;
}

bool exists(const std::string& path) {
    return statusOf(path).type() != fs::file_type::not_found;
}

bool isDirectory(const std::string& path) {
    return statusOf(path).type() == fs::file_type::directory;
}

void changeDirectory(const std::string& path) {
    std::error_code error;
    fs::current_path(textToPath(path), error);
    if (error) fail("cannot set current path", path, error);
}

}  // namespace vorn::platform
