// Folder operations: create, remove, list, status and the current directory.
#include "platform/Platform.h"

#include <string>
#include <system_error>
#include <vector>

#include "values/Error.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vorn::platform {

namespace fs = std::filesystem;

namespace {

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

namespace detail {

bool holdsCurrentFolder(const fs::path& native) {
    // "." and ".." as the last step name a folder the session stands in (or
    // below) however the rest of the path reads.
    const fs::path last = native.filename();
    if (last == "." || last == "..") return true;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(native, error);
    // A missing path holds nothing; a link is removed as a link.
    if (error || status.type() == fs::file_type::not_found || fs::is_symlink(status)) return false;
    const fs::path target = fs::canonical(native, error);
    if (error) return false;
    if (target == target.root_path()) return true;
    const fs::path here = fs::canonical(fs::current_path(error), error);
    if (error) return false;
    // target is here or one of its ancestors when it is a prefix of here.
    auto t = target.begin();
    for (auto h = here.begin(); t != target.end(); ++t, ++h)
        if (h == here.end() || *t != *h) return false;
    return true;
}

}  // namespace detail

namespace {

bool isSeparator(fs::path::value_type c) {
#ifdef _WIN32
    return c == L'/' || c == L'\\';
#else
    return c == '/';
#endif
}

// "link/" names the folder a link points to, so removing it would empty a
// folder outside the tree that the path names.
bool linkWithTrailingSeparator(const fs::path& native) {
    fs::path::string_type text = native.native();
    if (text.empty() || !isSeparator(text.back())) return false;
    while (text.size() > 1 && isSeparator(text.back())) text.pop_back();
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(fs::path(text), error));
}

// Removes root and everything under it, entry by entry, folders after their
// contents; links are removed as links. With interruptible, a pending Ctrl-C
// stops it before the next entry. Returns the first failure, or nothing.
std::error_code removeTree(const fs::path& root, Interruptible interruptible) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(root, error);
    if (error) return error;
    if (status.type() != fs::file_type::directory) {
        fs::remove(root, error);
        return error;
    }
    // The folders being emptied, outermost first, each with its place in
    // its own listing (a removed entry is never listed again).
    struct Level {
        fs::path folder;
        fs::directory_iterator entry;
    };
    std::vector<Level> levels;
    levels.push_back({root, fs::directory_iterator(root, error)});
    if (error) return error;
    while (!levels.empty()) {
        if (interruptible == Interruptible::Yes && gInterruptRequested) throwIfInterrupted();
        Level& level = levels.back();
        if (level.entry == fs::directory_iterator()) {
            fs::remove(level.folder, error);
            if (error) return error;
            levels.pop_back();
            continue;
        }
        const fs::path path = level.entry->path();
        const fs::file_type type = level.entry->symlink_status(error).type();
        if (error) return error;
        level.entry.increment(error);
        if (error) return error;
        if (type == fs::file_type::directory) {
            fs::directory_iterator inside(path, error);
            if (error) return error;
            levels.push_back({path, std::move(inside)});
        } else {
            fs::remove(path, error);
            if (error) return error;
        }
    }
    return error;
}

}  // namespace

void removeAll(const std::string& path, Interruptible interruptible) {
    const fs::path native = textToPath(path);
    // Refused before anything goes: removing the current folder, a folder
    // around it or the root would take the session's own files with it.
    if (detail::holdsCurrentFolder(native)) throw ScriptError("cannot remove all", path);
    if (linkWithTrailingSeparator(native))
        throw ScriptError("cannot remove all", path + ": a symbolic link, not a folder of this tree");
    const std::error_code error = removeTree(native, interruptible);
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

void moveFolderIntoPlace(const std::string& from, const std::string& to) {
    const fs::path source = textToPath(from);
    const fs::path target = textToPath(to);
    std::error_code error;
    // A rename onto an empty folder would replace it silently.
    if (fs::symlink_status(target, error).type() != fs::file_type::not_found)
        fail("cannot rename", from, std::make_error_code(std::errc::file_exists));
    fs::rename(source, target, error);
    if (error) fail("cannot rename", from, error);
#ifndef _WIN32
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int folder = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
#endif
}

void changeDirectory(const std::string& path) {
    std::error_code error;
    fs::current_path(textToPath(path), error);
    if (error) fail("cannot set current path", path, error);
}

}  // namespace vorn::platform
