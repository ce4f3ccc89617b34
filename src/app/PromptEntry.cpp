// The interactive loop's own line read: line editor, continuation lines,
// Ctrl-C and Ctrl-D at the prompt.
#include "app/PromptEntry.h"

#include "parse/Splitter.h"
#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn {

namespace {

const std::string kContinuationPrompt = "... ";

// What Ctrl-C leaves on the screen before the fresh prompt.
void showInterrupted() {
    platform::writeOut("^C\n");
    platform::flushOut();
}

}  // namespace

bool entryIsOpen(const std::string& text) {
    // The splitter's own counters decide; an open text is the one case in
    // which it does not return. Text nested too deeply to run is complete:
    // running it reports that.
    try {
        checkSplit(text);
        return false;
    } catch (const UnbalancedText&) {
        return true;
    } catch (const ScriptError&) {
        return false;
    }
}

bool readPromptEntry(std::string& entry) {
    const platform::PromptWait waiting;
    entry.clear();
    if (!platform::promptIsInteractive()) return platform::readLine(entry);

    std::string line;
    switch (platform::readPromptLine(line, nullptr)) {
        case platform::PromptRead::Ended: return false;
        case platform::PromptRead::Interrupted: showInterrupted(); return true;
        case platform::PromptRead::Line: break;
    }
    entry = std::move(line);
    while (entryIsOpen(entry)) {
        switch (platform::readPromptLine(line, &kContinuationPrompt)) {
            case platform::PromptRead::Ended:
                platform::writeOut("\nunfinished entry abandoned\n");
                platform::flushOut();
                entry.clear();
                return true;
            case platform::PromptRead::Interrupted:
                showInterrupted();
                entry.clear();
                return true;
            case platform::PromptRead::Line: break;
        }
        entry += '\n';
        entry += line;
    }
    return true;
}

}  // namespace vorn
