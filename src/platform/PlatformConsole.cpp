// Console input and output: lines, single keys, raw output bytes.
//
// Everything goes through C stdio on stdin/stdout, so line reads and key
// reads share one input buffer and never steal bytes from each other.
#include "platform/Platform.h"
#include "values/Limits.h"

#include <cstdio>
#include <new>
#include <string>

#ifdef _WIN32
#include <conio.h>
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>

#include "platform/TerminalRestore.h"
#endif

namespace vorn::platform {

namespace {

// Set once a read met the end of standard input; from then on lines are
// never read again (a terminal's Ctrl+D must not be asked for twice).
bool inputEnded = false;

#ifdef _WIN32

int inputDescriptor() { return _fileno(stdin); }
int outputDescriptor() { return _fileno(stdout); }
// A console, not just any character device: _isatty also says yes for the
// NUL device, on which _getch would return the -1 of a failed console read.
bool isTerminal(int descriptor) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// Held while a line is read so that each byte costs no locking of its own.
class InputLock {
public:
    InputLock() { _lock_file(stdin); }
    ~InputLock() { _unlock_file(stdin); }
    InputLock(const InputLock&) = delete;
    InputLock& operator=(const InputLock&) = delete;
};

int nextInputByte() { return _getc_nolock(stdin); }

void prepareOutput() {
    // The C runtime's text mode would turn each "\n" into "\r\n"; binary mode
    // makes the bytes a script prints the same on every platform.
    static const bool binary = [] {
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
        return true;
    }();
    (void)binary;
}

#else

int inputDescriptor() { return fileno(stdin); }
int outputDescriptor() { return fileno(stdout); }
bool isTerminal(int descriptor) { return isatty(descriptor) != 0; }

class InputLock {
public:
    InputLock() { flockfile(stdin); }
    ~InputLock() { funlockfile(stdin); }
    InputLock(const InputLock&) = delete;
    InputLock& operator=(const InputLock&) = delete;
};

int nextInputByte() { return getc_unlocked(stdin); }

void prepareOutput() {}

// Puts the terminal into single-key mode for its lifetime and restores the
// saved mode however the scope is left.
class RawTerminal {
public:
    explicit RawTerminal(int descriptor) : descriptor_(descriptor) {
        if (tcgetattr(descriptor_, &saved_) != 0) return;
        termios raw = saved_;
        // No line editing, no echo. Signal keys and Enter arrive as plain
        // bytes (Ctrl+C as 3, Enter as '\r'), as a Windows console key read
        // delivers them; a signal that ends the process (SIGTERM, SIGHUP,
        // SIGALRM, ...) restores the saved mode first.
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
        raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        detail::rememberTerminalMode(descriptor_, saved_);
        active_ = tcsetattr(descriptor_, TCSANOW, &raw) == 0;
        if (!active_) detail::forgetTerminalMode();
    }
    ~RawTerminal() {
        if (active_) tcsetattr(descriptor_, TCSANOW, &saved_);
        detail::forgetTerminalMode();
    }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

private:
    int descriptor_;
    termios saved_{};
    bool active_ = false;
};

#endif

std::string keyFromInput() {
    const int byte = std::getc(stdin);
    if (byte == EOF) {
        inputEnded = true;
        return std::string();
    }
    return std::string(1, static_cast<char>(byte));
}

}  // namespace

std::string readKey() {
    flushOut();
    const int descriptor = inputDescriptor();
    if (!isTerminal(descriptor)) return keyFromInput();
#ifdef _WIN32
    return std::string(1, static_cast<char>(_getch()));
#else
    // A Ctrl+D typed at a line prompt ended the line input, yet the keyboard
    // is still there, as it is for the Windows console key read.
    std::clearerr(stdin);
    const RawTerminal raw(descriptor);
    return keyFromInput();
#endif
}

namespace {

// Whether the console cursor is at the start of a line, as far as we know.
bool atLineStartNow = true;

LineEditor lineEditor = nullptr;

// With a line editor at a terminal, output after the last line end is held
// here instead of going to the stream: if a prompt read follows, that text is
// the prompt, and the editor has to draw it itself to redraw it later.
std::string heldTail;
// More than this is no prompt; it goes out as it comes.
constexpr std::size_t kMaxHeldTail = 4096;

bool holdingTail() {
    static const bool holding = lineEditor != nullptr && promptIsInteractive();
    return holding;
}

void writeStream(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void releaseHeldTail() {
    writeStream(heldTail);
    heldTail.clear();
}

void writeHolding(std::string_view bytes) {
    const std::size_t lineEnd = bytes.rfind('\n');
    if (lineEnd == std::string_view::npos) {
        heldTail.append(bytes);
        if (heldTail.size() > kMaxHeldTail) releaseHeldTail();
        return;
    }
    releaseHeldTail();
    writeStream(bytes.substr(0, lineEnd + 1));
    heldTail.assign(bytes.substr(lineEnd + 1));
}

// The held output that belongs to the current screen line, taken away to be
// drawn by the editor; whatever a carriage return already put behind the
// cursor is written out first.
std::string takePromptText() {
    const std::size_t lineStart = heldTail.rfind('\r');
    if (lineStart != std::string::npos) {
        writeStream(std::string_view(heldTail).substr(0, lineStart + 1));
        heldTail.erase(0, lineStart + 1);
    }
    std::string prompt = std::move(heldTail);
    heldTail.clear();
    return prompt;
}

// A plain read of one terminal line, for builds without a line editor and
// for Windows, whose console edits the line itself (cooked mode: arrows,
// F7 history). The end of input is not remembered: a terminal can go on.
PromptRead readTerminalLine(std::string& line) {
    line.clear();
    flushOut();
    const InputLock lock;
    for (;;) {
        const int byte = nextInputByte();
        if (byte == EOF) {
            std::clearerr(stdin);
#ifdef _WIN32
            // Ctrl+C ends a console read early, and its handler runs on a
            // thread of its own: give it a moment to say so.
            for (int wait = 0; wait < 20 && line.empty(); ++wait) {
                if (takePromptInterrupt()) return PromptRead::Interrupted;
                Sleep(5);
            }
#endif
            if (takePromptInterrupt()) return PromptRead::Interrupted;
            return line.empty() ? PromptRead::Ended : PromptRead::Line;
        }
        if (byte == '\n') {
            atLineStartNow = true;
            return PromptRead::Line;
        }
        line.push_back(static_cast<char>(byte));
    }
}

}  // namespace

void setLineEditor(LineEditor editor) { lineEditor = editor; }

bool promptIsInteractive() {
    static const bool interactive = isTerminal(inputDescriptor()) && isTerminal(outputDescriptor());
    return interactive;
}

PromptRead readPromptLine(std::string& line, const std::string* continuation) {
    line.clear();
    if (lineEditor == nullptr) {
        if (continuation != nullptr) writeOut(*continuation);
        return readTerminalLine(line);
    }
    const std::string prompt = continuation != nullptr ? *continuation : takePromptText();
    flushOut();
    const PromptRead result = lineEditor(prompt, line);
    // The editor leaves the cursor on a fresh line after a line; after Ctrl-C
    // or Ctrl-D it is still behind the text.
    atLineStartNow = result == PromptRead::Line;
    return result;
}

namespace {
// Drops what is left of a line that cannot be held, so that its rest never
// runs as a line of its own, and reports it.
[[noreturn]] void dropRestOfLine(std::string& line) {
    std::string().swap(line);
    for (;;) {
        const int byte = nextInputByte();
        if (byte == '\n') break;
        if (byte == EOF) {
            inputEnded = true;
            break;
        }
    }
    throw Limits::textTooLong();
}
}  // namespace

bool readLine(std::string& line) {
    line.clear();
    if (inputEnded) return false;
    flushOut();
    const InputLock lock;
    for (;;) {
        const int byte = nextInputByte();
        if (byte == EOF) {
            inputEnded = true;
            return !line.empty();
        }
        if (byte == '\n') {
            // Ctrl-C while the prompt waited interrupts nothing.
            gInterruptRequested = 0;
            // A terminal echoed the line end, so the cursor starts a new line.
            if (stdinIsTerminal()) atLineStartNow = true;
            return true;
        }
        if (line.size() >= Limits::maxTextBytes()) dropRestOfLine(line);
        try {
            line.push_back(static_cast<char>(byte));
        } catch (const std::bad_alloc&) {
            dropRestOfLine(line);
        }
    }
}

void writeBell() { writeOut("\a"); }

void writeOut(std::string_view bytes) {
    prepareOutput();
    if (bytes.empty()) return;
    if (holdingTail()) writeHolding(bytes);
    else writeStream(bytes);
    atLineStartNow = bytes.back() == '\n';
}

bool atLineStart() { return atLineStartNow; }

void flushOut() {
    if (!heldTail.empty()) releaseHeldTail();
    std::fflush(stdout);
}

bool stdinIsTerminal() { return isTerminal(inputDescriptor()); }

}  // namespace vorn::platform
