// The checker on arbitrary bytes.
//
// Whatever the text, checking it must not throw, and every finding must name
// a line of the text and say something: an error (unbalanced text, nesting
// too deep) without a code, a warning with one of the checker's codes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto findings = vorn::check::checkText(text, [](const std::string& path) { return path.size() % 2 == 0; });
    const long lines = std::count(text.begin(), text.end(), '\n') + 1;
    const auto& rules = vorn::check::rules();
    int previous = 1;
    for (const vorn::check::Finding& finding : findings) {
        if (finding.line < previous || finding.line > lines || finding.text.empty()) std::abort();
        previous = finding.line;
        const bool known = std::any_of(rules.begin(), rules.end(),
                                       [&](const vorn::check::Rule& rule) { return finding.code == rule.code; });
        if ((finding.severity == vorn::check::Severity::Error) != finding.code.empty() ||
            (!finding.code.empty() && !known))
            std::abort();
    }
    return 0;
}
