// The statement splitter on arbitrary bytes.
//
// Besides surviving any input, a successful split must keep every byte but
// the blanks, tabs and newlines it cuts at, in order; and each token must
// split again, on its own, into one statement of exactly that token (a token
// always starts and ends with every depth counter at 0, which is what lets
// the interpreter split the same text again later and get the same pieces).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "parse/Splitter.h"

namespace {

std::string withoutSeparators(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c != ' ' && c != '\t' && c != '\n') out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vorn::StatementList statements;
    try {
        statements = vorn::splitStatements(text);
    } catch (const vorn::UnbalancedText& unbalanced) {
        if (unbalanced.braces + unbalanced.parentheses + unbalanced.doubleQuotes + unbalanced.singleQuotes <= 0)
            std::abort();  // reported as unbalanced with every counter at rest
        return 0;
    }
    if (statements.empty()) std::abort();

    std::string kept;
    for (const vorn::Statement& statement : statements) {
        if (statement.empty()) std::abort();
        for (const std::string& token : statement) {
            kept += token;
            const vorn::StatementList again = vorn::splitStatements(token);
            if (again.size() != 1 || again[0].size() != 1 || again[0][0] != token) std::abort();
        }
    }
    if (withoutSeparators(kept) != withoutSeparators(text)) std::abort();
    return 0;
}
