// Safeguards around the boot script's start-up statements.
#include "app/StartUp.h"

#include <string>

#include "exec/Run.h"
#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn {

namespace {

constexpr const char* kLibrary = "lib";

std::string gStartFolder;
bool gLibraryExisted = true;

// Whether lib is there at all; a failing status query counts as there, so
// that nothing is ever removed on a guess.
bool libraryPresent() {
    try {
        return platform::exists(kLibrary);
    } catch (const ScriptError&) {
        return true;
    }
}

void beforeStartUpStatement() { gLibraryExisted = libraryPresent(); }

void startUpStatementAbandoned() {
    try {
        if (!gStartFolder.empty()) platform::changeDirectory(gStartFolder);
        if (!gLibraryExisted && platform::isDirectory(kLibrary)) {
            platform::removeAll(kLibrary);
            platform::writeOut("Standard library unavailable.\n");
            platform::flushOut();
        }
    } catch (const ScriptError& error) {
        reportError(error.what());
    }
}

}  // namespace

void installStartUpSafeguards() {
    try {
        gStartFolder = platform::currentDirectory();
    } catch (const ScriptError&) {
        gStartFolder.clear();
    }
    setStartUpHooks({beforeStartUpStatement, startUpStatementAbandoned});
}

}  // namespace vorn
