// Console input and output in the browser: the page's console pane.
//
// The interpreter runs in a worker. Output is gathered here and handed to
// the page in pieces (a post per printed line would flood it); whatever is
// gathered goes out before every read, at least every few hundredths of a
// second while code runs, and when the gathered text grows large. A read
// suspends the worker's stack (Asyncify) until the page answers with what
// the person typed, or with nothing when Stop was pressed.
#include <emscripten.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/PlatformWeb.h"
#include "values/Error.h"
#include "values/Limits.h"

// The page's side, in the worker's script (web/worker-pre.js).
EM_JS(void, vornPageWrite, (const char* bytes, int size), { vornHandOutput(HEAPU8.slice(bytes, bytes + size)); });
EM_ASYNC_JS(char*, vornPageRead, (int kind), { return await vornAwaitInput(kind); });

namespace vorn::platform {

namespace {

// What a read asks the page for; the numbers are the page's.
enum class ReadKind : int { Line = 0, Prompt = 1, Continuation = 2, Key = 3 };

constexpr double kHandOverMilliseconds = 40;
constexpr std::size_t kMaxGathered = std::size_t(1) << 16;

std::string gGathered;
double gLastHandOver = 0;
bool gAtLineStart = true;

// What the person entered, or nothing when Stop was pressed instead.
std::optional<std::string> readFromPage(ReadKind kind) {
    detail::handOverOutput();
    char* raw = vornPageRead(static_cast<int>(kind));
    if (raw == nullptr) return std::nullopt;
    std::string text(raw);
    std::free(raw);
    // The page echoes an entered line with its line end.
    if (kind != ReadKind::Key) gAtLineStart = true;
    return text;
}

[[noreturn]] void interrupted() { throw ScriptError("interrupted"); }

}  // namespace

namespace detail {

void handOverOutput() {
    gLastHandOver = emscripten_get_now();
    if (gGathered.empty()) return;
    vornPageWrite(gGathered.data(), static_cast<int>(gGathered.size()));
    gGathered.clear();
}

}  // namespace detail

std::string readKey() {
    std::optional<std::string> key = readFromPage(ReadKind::Key);
    if (!key) interrupted();
    return *key;
}

bool readLine(std::string& line) {
    std::optional<std::string> text = readFromPage(ReadKind::Line);
    if (!text) interrupted();
    gInterruptRequested = 0;
    if (text->size() > Limits::maxTextBytes()) throw Limits::textTooLong();
    line = std::move(*text);
    return true;
}

void writeBell() { writeOut("\a"); }

void writeOut(std::string_view bytes) {
    if (bytes.empty()) return;
    gGathered.append(bytes);
    gAtLineStart = bytes.back() == '\n';
    if (gGathered.size() >= kMaxGathered) detail::handOverOutput();
}

void flushOut() {
    if (emscripten_get_now() - gLastHandOver >= kHandOverMilliseconds) detail::handOverOutput();
}

bool atLineStart() { return gAtLineStart; }

// The console pane is the terminal: it echoes lines and edits them itself.
bool stdinIsTerminal() { return true; }
bool promptIsInteractive() { return true; }
void setLineEditor(LineEditor) {}
void installLineEditor() {}

PromptRead readPromptLine(std::string& line, const std::string* continuation) {
    line.clear();
    if (continuation != nullptr) writeOut(*continuation);
    std::optional<std::string> text = readFromPage(continuation ? ReadKind::Continuation : ReadKind::Prompt);
    if (!text) return PromptRead::Interrupted;
    line = std::move(*text);
    return PromptRead::Line;
}

}  // namespace vorn::platform
