// Safeguards around the boot script's start-up statements.
//
// The restore dialogue fills lib under a name of its own and renames it into
// place only once its statement has ended normally. A restore cut short in
// any way (an error, Ctrl-C, a signal that ends the process, a power loss)
// therefore leaves no lib behind: the next start finds lib missing, does not
// snapshot a part of it over SLB.BUF, and offers the restore again.
#include "app/StartUp.h"

#include <string>

#include "exec/Run.h"
#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn {

namespace {

constexpr const char* kLibrary = "lib";
// Where a restore fills lib until it is complete, beside lib itself.
constexpr const char* kStagedLibrary = ".vorn-lib-restore";
// The boot script's compare statements in order: the snapshot, the restore
// dialogue, the autorun. The second is the one that may create lib.
constexpr int kRestoreCompare = 2;

// Whether lib is there at all; a failing status query counts as there, so
// that nothing is ever removed on a guess.
bool libraryPresent() {
    try {
        return platform::exists(kLibrary);
    } catch (const ScriptError&) {
        return true;
    }
}

}  // namespace

// The staged folder's path, whatever the current directory.
std::string StartUpSafeguards::stagedLibrary() const {
    return startFolder_.empty() ? kStagedLibrary : startFolder_ + "/" + kStagedLibrary;
}

std::string StartUpSafeguards::library() const { return startFolder_.empty() ? kLibrary : startFolder_ + "/" + kLibrary; }

// Ends the staging; true when a staged folder was left to deal with.
bool StartUpSafeguards::endStaging() {
    if (!restoreStaged_) return false;
    restoreStaged_ = false;
    platform::setStagedFolder("", "", "");
    return platform::isDirectory(stagedLibrary());
}

// The restore's statement ended normally: its lib takes its place.
void StartUpSafeguards::commitRestore() {
    try {
        if (!endStaging()) return;
        if (platform::exists(library())) {
            // Something else made lib meanwhile; it is kept, and SLB.BUF
            // still holds everything the staged copy held.
            platform::removeAll(stagedLibrary());
            return;
        }
        platform::moveFolderIntoPlace(stagedLibrary(), library());
    } catch (const ScriptError& error) {
        reportError(error.what());
    }
}

void StartUpSafeguards::stageRestore() {
    try {
        // A restore cut short by an earlier run left its part here; SLB.BUF
        // still holds all of it.
        if (platform::exists(stagedLibrary())) platform::removeAll(stagedLibrary());
    } catch (const ScriptError& error) {
        reportError(error.what());
        return;
    }
    platform::setStagedFolder(kLibrary, kStagedLibrary, startFolder_);
    restoreStaged_ = true;
}

void StartUpSafeguards::before(StatementKind kind) {
    // The statement before this one ended normally.
    commitRestore();
    libraryExisted_ = libraryPresent();
    if (kind == StatementKind::Compare && ++comparesSeen_ == kRestoreCompare &&
        !libraryExisted_ && !startFolder_.empty())
        stageRestore();
}

void StartUpSafeguards::abandoned() {
    try {
        if (!startFolder_.empty()) platform::changeDirectory(startFolder_);
        bool removed = false;
        if (endStaging()) {
            platform::removeAll(stagedLibrary());
            removed = true;
        }
        if (!libraryExisted_ && platform::isDirectory(kLibrary)) {
            platform::removeAll(kLibrary);
            removed = true;
        }
        if (removed) {
            platform::writeOut("Standard library unavailable.\n");
            platform::flushOut();
        }
    } catch (const ScriptError& error) {
        reportError(error.what());
    }
}

StartUpSafeguards::StartUpSafeguards() {
    try {
        startFolder_ = platform::currentDirectory();
    } catch (const ScriptError&) {
        startFolder_.clear();
    }
}

}  // namespace vorn
