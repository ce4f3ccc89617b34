// Arbitrary bytes typed at the prompt: the real boot script runs as the
// program runs it, and each line of the input is one line read by `input`.
//
// This is the only harness where errors are caught: every statement of the
// boot script (and of its compare and until bodies) reports its error and
// the session goes on, so state left half-changed by a failing line meets
// the lines after it. The first lines answer the restore question, which the
// sandbox always asks (it shows no lib folder); end of input ends the session
// the way it does at the prompt.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "Sandbox.h"
#include "app/BootScript.h"
#include "exec/Run.h"
#include "parse/Code.h"
#include "parse/Splitter.h"
#include "values/Error.h"
#include "values/Limits.h"

namespace {

// What is left of the current input's lines.
std::string_view gPending;

// `input`: the next line without its '\n'; a last line without '\n' counts.
// At the end, the prompt's own read ends the session and a script's read
// gets "", as with a real console.
vorn::Value sessionInput(const vorn::CallScope& scope) {
    if (gPending.empty()) {
        if (scope.interpreter().inBoundaryStatement()) throw vorn::EndOfSession{};
        return vorn::Value::ofText(std::string());
    }
    const std::size_t end = gPending.find('\n');
    std::string line(gPending.substr(0, end));
    gPending.remove_prefix(end == std::string_view::npos ? gPending.size() : end + 1);
    return vorn::Value::ofText(std::move(line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::enterSandbox(sessionInput);
    vorn::fuzz::resetForInput();
    gPending = std::string_view(reinterpret_cast<const char*>(data), size);
    auto body = [] {
        try {
            const auto block = vorn::prepareBlock(vorn::bootScript());
            vorn::Scope scope;
            vorn::runBlock(vorn::fuzz::sandbox(), *block, &scope, nullptr, vorn::ErrorBoundary::Yes);
        } catch (const vorn::EndOfSession&) {
        } catch (const vorn::UnbalancedText&) {
        } catch (const vorn::StatementBudgetExhausted&) {
        }
        // A ScriptError or bad_alloc getting here escaped every statement's
        // error boundary and would end a real session: that is a finding.
    };
    vorn::fuzz::runDeep(body);
    return 0;
}
