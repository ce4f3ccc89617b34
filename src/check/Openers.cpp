// Where an unbalanced text's open quote, brace or parenthesis began.
//
// The splitter only counts; it does not remember where a count went up. This
// replays its counting rules and keeps the offsets of the openers that are
// still open. Under those rules only one kind of delimiter is ever open at a
// time (a brace opens only outside parentheses and quotes, a parenthesis only
// outside braces and quotes, a quote only at the top level), so the openers
// form one stack.
#include <vector>

#include "check/Walker.h"

namespace vorn::check {

OpenDelimiter findOpenDelimiter(std::string_view text) {
    int braces = 0, parens = 0, dquotes = 0, squotes = 0;
    std::vector<OpenDelimiter> open;
    const auto opened = [&](std::size_t at, const char* name) { open.push_back({at, name}); };
    const auto closed = [&] {
        if (!open.empty()) open.pop_back();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int prior = braces + parens + dquotes + squotes;
        switch (text[i]) {
            case '"':
                if (dquotes > 0) {
                    --dquotes;
                    closed();
                } else if (prior == 0) {
                    dquotes = 1;
                    opened(i, "double quote");
                }
                break;
            case '\'':
                if (squotes > 0) {
                    --squotes;
                    closed();
                } else if (prior == 0) {
                    squotes = 1;
                    opened(i, "single quote");
                }
                break;
            case '{':
                if (dquotes == 0 && squotes == 0 && parens == 0) {
                    ++braces;
                    opened(i, "brace");
                }
                break;
            case '(':
                if (dquotes == 0 && squotes == 0 && braces == 0) {
                    ++parens;
                    opened(i, "parenthesis");
                }
                break;
            case '}':
                if (prior > 0 && dquotes == 0 && squotes == 0 && parens == 0) {
                    --braces;
                    closed();
                }
                break;
            case ')':
                if (prior > 0 && dquotes == 0 && squotes == 0 && braces == 0) {
                    --parens;
                    closed();
                }
                break;
            default: break;
        }
    }
    if (open.empty()) return {std::string_view::npos, "text"};
    return open.front();
}

}  // namespace vorn::check
