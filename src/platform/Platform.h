// The one doorway to the console, the file system and threads, for Windows and POSIX alike.
//
// Nothing here knows the interpreter's Value type: text goes in and out as
// std::string (UTF-8, or raw bytes), binary content as std::vector<uint8_t>.
// Failures are reported as vorn::ScriptError whose text begins with the fixed
// wording of the failed operation ("cannot create directory", "status", ...);
// the path or the system's message may follow after ": ".
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::platform {

// ---- Console ---------------------------------------------------------------

// One key, without echo and without waiting for Enter. On a terminal this is
// the console's key read (Windows _getch, a raw termios read elsewhere; Enter
// gives "\r" and Ctrl+C gives "\x03" on both). When standard input is not a
// terminal (on Windows: not a console, which the NUL device is not either),
// the next byte of standard input. Standard output is flushed first.
// Returns "" at end of input.
std::string readKey();

// Flushes standard output, then reads one line from standard input into
// `line` without its '\n'. Returns false only when end of input is reached
// before any character was read; once that happened every later call returns
// false at once. A last line without '\n' is still returned (true) once.
bool readLine(std::string& line);

// Writes the bell character (7) to standard output, without flushing.
void writeBell();

// All console output goes through here; every byte is written unchanged,
// zero bytes included, and "\n" is never widened to "\r\n".
void writeOut(std::string_view bytes);

void flushOut();

// True when the cursor is at the start of a line: nothing was written yet,
// the last byte written was '\n', or a line was just read from a terminal
// (which echoed its line end).
bool atLineStart();

bool stdinIsTerminal();

// ---- The interactive prompt ----------------------------------------------------

// What one read of the interactive prompt gave.
enum class PromptRead {
    Line,         // a line, without its line end
    Interrupted,  // Ctrl-C while it waited: what was typed is gone
    Ended,        // end of input (Ctrl-D at an empty line)
};

// A line editor: shows `prompt`, lets the user edit one line and returns it.
// Keeps its own history of the lines it returned.
using LineEditor = PromptRead (*)(const std::string& prompt, std::string& line);

// Makes the interactive prompt read through `editor` (null: plain reads).
void setLineEditor(LineEditor editor);

// The line editor of this program, where it was built with one; does
// nothing otherwise.
void installLineEditor();

// True when standard input and standard output are both terminals: then the
// interactive prompt reads through the line editor where there is one,
// continues unbalanced entries and takes Ctrl-C as "throw this line away".
bool promptIsInteractive();

// Reads one line of the interactive prompt at a terminal (promptIsInteractive).
// `continuation` null: the prompt is what was written since the last line
// end, which reaches the screen through the editor so that its redraws keep
// it; otherwise *continuation is written as the prompt. Unlike readLine, the
// end of input is not final: a terminal can be read again after Ctrl-D.
PromptRead readPromptLine(std::string& line, const std::string* continuation);

// ---- Interrupts ------------------------------------------------------------

// The one word the executor reads before every statement: set by whatever
// waits for the next statement boundary. Ctrl-C sets it (with
// gInterruptRequested); the values set it when they leave work for the
// boundary, and a statement budget keeps it set. It may stay set after the
// work is done (the executor then looks once and finds nothing), but it is
// never clear while something waits: whoever clears it looks at every
// source afterwards, so a press meanwhile sets it again.
extern volatile std::sig_atomic_t gBoundaryWork;
// Whether the executor must also read gInterruptRequested itself before each
// statement, because reading it is what lets a press arrive (the browser).

#ifdef __EMSCRIPTEN__
// In the browser the interpreter runs in a worker that nothing can signal
// while it computes: the page's Stop is a message, delivered only when the
// worker yields to its event loop. So the flag is read through this class,
// which every few thousand reads looks at the clock and, when the last yield
// is long enough ago, yields (the page's messages run, Stop among them, and
// the output so far is shown). Reads and writes look as they do elsewhere.
class InterruptFlag {
public:
    operator std::sig_atomic_t() {
        if (--readsUntilPoll_ == 0) poll();
        return value_;
    }
    InterruptFlag& operator=(std::sig_atomic_t value) {
        value_ = value;
        return *this;
    }

private:
    void poll();
    std::sig_atomic_t value_ = 0;
    int readsUntilPoll_ = 1;
};
extern InterruptFlag gInterruptRequested;
inline constexpr bool kStatementsReadInterruptFlag = true;
#else
// Set when the user pressed Ctrl-C; whoever honours it clears it.
extern volatile std::sig_atomic_t gInterruptRequested;
inline constexpr bool kStatementsReadInterruptFlag = false;
#endif
// What a Ctrl-C press (or the page's Stop) sets; safe in a signal handler.
inline void requestInterrupt() {
    gInterruptRequested = 1;
    gBoundaryWork = 1;
}

// Makes Ctrl-C set gInterruptRequested instead of ending the program. A
// second Ctrl-C within a second of a press that interrupted running code (or
// while such a press is still pending) ends it. Presses while a PromptWait
// lives never count as a first press.
void installInterruptHandler();

// Marks, for its lifetime, that the interactive prompt waits for its line: a
// Ctrl-C meanwhile interrupts no code; it is noted for takePromptInterrupt
// and wakes a reader that polls promptWakeDescriptor. Pending presses are
// dropped when it starts and when it ends.
class PromptWait {
public:
    PromptWait();
    ~PromptWait();
    PromptWait(const PromptWait&) = delete;
    PromptWait& operator=(const PromptWait&) = delete;
};

// True once after a Ctrl-C while a PromptWait lived.
bool takePromptInterrupt();

// Becomes readable when Ctrl-C is pressed while a PromptWait lives; -1 where
// there is no such descriptor (Windows).
int promptWakeDescriptor();

// Throws the "interrupted" error, clearing the request, when Ctrl-C is pending.
void throwIfInterrupted();

// ---- Paths -----------------------------------------------------------------

// UTF-8 text to a native path. POSIX paths are byte strings and take the text
// unchanged; on Windows the text is converted strictly to UTF-16, and invalid
// UTF-8 throws "Cannot convert character sequence". A zero byte, which would
// end the name early on every system, throws that error too.
std::filesystem::path textToPath(const std::string& text);

// The reverse of textToPath; an unpaired UTF-16 surrogate on Windows throws
// "Cannot convert character sequence".
std::string pathToText(const std::filesystem::path& path);

// The absolute current directory as the system reports it, as UTF-8 text.
// Throws "cannot get current path".
std::string currentDirectory();

// ---- Whole files -------------------------------------------------------------
// These open the file with the path text as a narrow (char) path, unconverted:
// on Windows that is the ANSI code page, as the C runtime's fopen sees it.

// Reads the file in text mode. Lines are the pieces between '\n's (a last
// line without '\n' counts), joined by '\n'; so one trailing '\n' of the file
// is dropped: "a\nb" and "a\nb\n" both read "a\nb", "a\n\n" reads "a\n".
// A path where nothing exists reads as ""; anything else that cannot be read
// (no permission, a folder, a read error) throws "cannot read file". A text
// over the text limit throws "out of memory". Reads of pipes and devices
// honour Ctrl-C (throwIfInterrupted).
std::string readTextFile(const std::string& path);

// Replaces the file's content with `text` exactly, in text mode. The content
// is written to a temporary file in the same folder and synced before it
// takes the file's place, so on any failure the old file is left as it was;
// a symbolic link's target is what gets replaced, and its permission bits
// are kept. Throws "cannot write file".
void writeTextFile(const std::string& path, std::string_view text);

// Reads the file in binary mode. Its size is asked of the file system first
// (through textToPath); failing that (missing, a folder, no access) throws
// "cannot get file size". An empty file gives exactly one byte 0. Otherwise
// the result has the reported size; bytes the read could not fill stay 0.
// Throws "cannot allocate memory" for files of 2 GiB or more and if a buffer
// of that size cannot be had, "cannot read file" if it cannot be opened.
std::vector<std::uint8_t> readBinaryFile(const std::string& path);

// Replaces the file's content with exactly `bytes`, safely as writeTextFile
// does. Throws "cannot write file".
void writeBinaryFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The lines of a script file, read in text mode and split at '\n'. A '\r'
// directly before a '\n' is part of the line end and dropped on every
// platform; a last line without '\n' counts. A missing file gives no lines;
// one that cannot be read throws "cannot read file".
std::vector<std::string> readSourceLines(const std::string& path);

// The same lines joined, each ending in '\n', read straight into one text
// (a list of a large file's lines takes several times its size); lines is
// set to how many there are.
std::string readSourceText(const std::string& path, std::size_t& lines);

// The rest of standard input read as readSourceText reads a file. Throws
// "out of memory" (text too long) as soon as it holds more than the text
// limit, reading no further, and "cannot read file" on a read error.
std::string readStandardInputText(std::size_t& lines);

// ---- Folders -----------------------------------------------------------------
// All of these convert the path with textToPath first.

// Creates one folder whose parent must exist. An existing folder of that name
// is fine and left alone; anything else (missing parent, a file of that name,
// no access) throws "cannot create directory".
void makeDirectory(const std::string& path);

// Removes a file or a whole folder tree. A missing path is no error; any
// other failure throws "cannot remove all". The current folder, a folder that
// holds it, the root, and any path ending in "." or ".." are refused with
// "cannot remove all" before anything is removed. Symbolic links are removed
// as links, never followed: a link inside the tree goes without its target,
// and a link named with a trailing separator ("link/") is refused.
// Interruptible::Yes (a script's `_rm`) honours Ctrl-C before each entry: the
// removal stops there with "interrupted", what is left of the tree stays.
// The start-up's own clean-ups run to the end.
enum class Interruptible : bool { No, Yes };
void removeAll(const std::string& path, Interruptible interruptible = Interruptible::No);

// The names (last component only) of a folder's entries in the order the
// system enumerates them, never "." or "..". Throws "directory iterator cannot
// open directory" or "directory iterator cannot advance".
std::vector<std::string> listDirectory(const std::string& path);

// Status queries following links. A path that is not found gives false; any
// other failure of the query throws "status".
bool exists(const std::string& path);
bool isDirectory(const std::string& path);

// Throws "cannot set current path".
void changeDirectory(const std::string& path);

// A folder filled under a name of its own and put in place whole when it is
// complete, so that no one ever finds it half made. While set, the folder
// operations above (all that go through textToPath) read the path `name`,
// alone or with one trailing '/', as `staged` whenever the current directory
// is `home`. An empty name ends it.
void setStagedFolder(const std::string& name, const std::string& staged, const std::string& home);

// Renames the folder `from` to `to` and makes the rename durable (the
// folder holding them is flushed to the disk where the system allows).
// Throws "cannot rename" when it cannot, or when `to` exists already.
void moveFolderIntoPlace(const std::string& from, const std::string& to);

// ---- Deep stacks -------------------------------------------------------------

// Runs entry(argument) on a new thread with a stack of `stackBytes` and waits
// for it; returns entry's result. An exception leaving entry is carried over
// and rethrown in the calling thread. If no such thread can be created,
// entry runs directly on the calling thread.
// When a stack of that size cannot be had (a limit on address space), smaller
// ones are tried, down to 1 MiB, before the calling thread is used. Under a
// limit on address space the calling thread first claims the stack it will
// use, half of what the limit leaves, and stackFloor stops there; when that
// is too little to run at all, throws "out of memory" before entry runs.
// The stack a thread's guard sees is therefore always there to be used.
int runWithLargeStack(std::size_t stackBytes, int (*entry)(void*), void* argument);

// The lowest address the current thread's stack may reach: its end plus a
// margin for what runs between two depth checks (a builtin's frames, the
// unwinding of an error). 0 when the system cannot tell.
std::uintptr_t stackFloor();

// ---- Internals exposed for testing -------------------------------------------

namespace detail {

// Strict conversions behind the Windows paths; plain functions so that every
// platform can check them. Code points above U+10FFFF, UTF-8-encoded
// surrogates, overlong forms, stray continuation bytes, truncated sequences
// and unpaired surrogates all throw "Cannot convert character sequence".
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// The text unchanged when it holds no zero byte; otherwise throws
// `operation` with the path (zero bytes shown as \0) as its detail.
std::string pathWithoutZeroBytes(const std::string& text, const char* operation);

// True when removing the path would remove the current folder: it is the
// current folder, a folder holding it, or the root, or it ends in "." or "..".
bool holdsCurrentFolder(const std::filesystem::path& native);

}  // namespace detail

}  // namespace vorn::platform
