// The line editor of the interactive prompt: libedit through its
// readline-compatible interface, where the program was built with it.
//
// Only the program itself links this file; the library and its tests read
// plain lines. History lives in memory for the session and is never written.
#include "platform/Platform.h"

#ifdef VORN_HAVE_LIBEDIT

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <editline/readline.h>

#include "platform/TerminalRestore.h"

namespace vorn::platform {

namespace {

bool interruptedWhileEditing = false;
std::string lastRemembered;
// Set while the editor works in UTF-8 (see UserCharacterSet).
bool decodeUtf8 = false;
// A byte read too far while decoding, handed out by the next read.
int pushedBack = -1;

constexpr int kInterrupted = -2;

// The next byte of the terminal, or EOF, or kInterrupted when Ctrl-C comes
// first.
int nextByte(int input) {
    if (pushedBack >= 0) {
        const int byte = pushedBack;
        pushedBack = -1;
        return byte;
    }
    for (;;) {
        pollfd waits[2] = {{input, POLLIN, 0}, {promptWakeDescriptor(), POLLIN, 0}};
        const int ready = poll(waits, waits[1].fd >= 0 ? 2 : 1, -1);
        if (takePromptInterrupt()) return kInterrupted;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return EOF;
        }
        if ((waits[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        unsigned char byte = 0;
        const ssize_t got = read(input, &byte, 1);
        if (got == 1) return byte;
        if (got < 0 && errno == EINTR) continue;
        return EOF;
    }
}

// The editor's key read. The editor takes each result as one whole
// character, so a UTF-8 sequence is decoded here into its code point. Ctrl-C
// reads as the end of input, which makes the editor give up the line;
// editLine then tells the two apart.
int readEditorKey(FILE* stream) {
    const int input = fileno(stream);
    const int lead = nextByte(input);
    if (lead == kInterrupted) {
        interruptedWhileEditing = true;
        return EOF;
    }
    if (lead < 0x80 || !decodeUtf8) return lead;
    int length = 0;
    int codePoint = 0;
    if ((lead & 0xE0) == 0xC0) length = 2, codePoint = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0) length = 3, codePoint = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0) length = 4, codePoint = lead & 0x07;
    else return lead;
    for (int i = 1; i < length; ++i) {
        const int next = nextByte(input);
        if (next == kInterrupted) {
            interruptedWhileEditing = true;
            return EOF;
        }
        if (next < 0 || (next & 0xC0) != 0x80) {
            pushedBack = next >= 0 ? next : -1;
            return lead;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return codePoint;
}

bool codesetIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// The editor works in characters of a locale, and drops every byte the
// locale cannot read. Terminals speak UTF-8, so it gets the user's locale
// when that is UTF-8 and otherwise a plain UTF-8 one (the bytes of a line
// then come back exactly as typed even under the "C" locale). The
// interpreter keeps the "C" locale for everything else.
class UserCharacterSet {
public:
    UserCharacterSet() {
        if (const char* current = std::setlocale(LC_CTYPE, nullptr)) saved_ = current;
        decodeUtf8 = std::setlocale(LC_CTYPE, "") != nullptr && codesetIsUtf8();
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (decodeUtf8) break;
            decodeUtf8 = std::setlocale(LC_CTYPE, name) != nullptr && codesetIsUtf8();
        }
    }
    ~UserCharacterSet() { std::setlocale(LC_CTYPE, saved_.c_str()); }
    UserCharacterSet(const UserCharacterSet&) = delete;
    UserCharacterSet& operator=(const UserCharacterSet&) = delete;

private:
    std::string saved_ = "C";
};

void prepareEditor() {
    static const bool prepared = [] {
        rl_readline_name = "vorn";
        rl_instream = stdin;
        rl_outstream = stdout;
        rl_getc_function = readEditorKey;
        // The interpreter's own handler sees Ctrl-C; the editor must not
        // pass signals on to the whole process group.
        rl_catch_signals = 0;
        // Sets the editor up with the settings above (once: setting it up
        // again would throw the first set-up away unreleased).
        using_history();
        return true;
    }();
    (void)prepared;
}

// Empty lines and a repeat of the line before are not worth a step of Up.
void remember(const std::string& line) {
    if (line.empty() || line == lastRemembered) return;
    add_history(line.c_str());
    lastRemembered = line;
}

PromptRead editLine(const std::string& prompt, std::string& line) {
    const UserCharacterSet characters;
    prepareEditor();
    interruptedWhileEditing = false;
    pushedBack = -1;
    takePromptInterrupt();
    // The editor does not watch for window size changes itself (it would
    // have to take over the signals); a resize between two lines is seen here.
    rl_resize_terminal();
    // The editor holds the terminal in its own mode while the line is
    // edited; a signal that ends the process meanwhile gives it back this
    // one first.
    termios lineMode{};
    const bool modeKnown = tcgetattr(fileno(stdin), &lineMode) == 0;
    if (modeKnown) detail::rememberTerminalMode(fileno(stdin), lineMode);
    char* text = readline(prompt.c_str());
    if (modeKnown) detail::forgetTerminalMode();
    if (interruptedWhileEditing || takePromptInterrupt()) {
        std::free(text);
        return PromptRead::Interrupted;
    }
    if (text == nullptr) return PromptRead::Ended;
    line = text;
    std::free(text);
    remember(line);
    return PromptRead::Line;
}

}  // namespace

void installLineEditor() { setLineEditor(editLine); }

}  // namespace vorn::platform

#else

namespace vorn::platform {

void installLineEditor() {}

}  // namespace vorn::platform

#endif
