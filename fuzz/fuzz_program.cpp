// Arbitrary bytes run as a whole script, the way the program runs a file.
//
// Every statement kind, call form, builtin and error path is reachable from
// here. The sandbox keeps the script off the file system and the console,
// bounds its work and gives it a deep stack; only the outcomes a script may
// legitimately end in are caught, so anything else (a sanitizer report, an
// uncaught exception, a stack overflow) is a finding.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "Sandbox.h"
#include "exec/Run.h"
#include "parse/Code.h"
#include "parse/Splitter.h"
#include "values/Error.h"
#include "values/Limits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::enterSandbox();
    vorn::fuzz::resetForInput();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto body = [text] {
        try {
            const auto block = vorn::prepareBlock(text);
            vorn::Scope scope;
            vorn::runBlock(*block, &scope, nullptr);
        } catch (const vorn::ScriptError&) {
        } catch (const vorn::UnbalancedText&) {
        } catch (const vorn::StatementBudgetExhausted&) {
        } catch (const std::bad_alloc&) {
        }
    };
    vorn::fuzz::runDeep(body);
    return 0;
}
