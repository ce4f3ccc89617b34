// Arbitrary bytes run as a whole script, the way the program runs a file.
//
// Every statement kind, call form, builtin and error path is reachable from
// here. The sandbox keeps the script off the file system and the console,
// bounds its work and gives it a deep stack; only the outcomes a script may
// legitimately end in are caught, so anything else (a sanitizer report, an
// uncaught exception, a stack overflow) is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Sandbox.h"
#include "exec/Run.h"
#include "parse/Code.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::enterSandbox();
    vorn::fuzz::resetForInput();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto body = [text] {
        vorn::fuzz::endsAsScriptsMay([text] {
            const auto block = vorn::prepareBlock(text);
            vorn::Scope scope;
            vorn::runBlock(vorn::fuzz::sandbox(), *block, &scope, nullptr);
        });
    };
    vorn::fuzz::runDeep(body);
    return 0;
}
