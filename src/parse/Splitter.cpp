// The statement splitter: one pass over the bytes with four depth counters.
#include "parse/Splitter.h"

#include "platform/Platform.h"
#include "values/Depth.h"

namespace vorn {

std::string UnbalancedText::report() const {
    return "parser error, markers over 1, grammatically not valid." + std::to_string(braces) + "/" +
           std::to_string(parentheses) + "/" + std::to_string(doubleQuotes) + "/" + std::to_string(singleQuotes) +
           "/0/";
}

namespace {

void traceLine(const std::string& line) {
    platform::writeOut(line);
    platform::writeOut("\n");
    platform::flushOut();
}

}  // namespace

StatementList splitStatements(std::string_view source, int trace) {
    StatementList result;
    Statement statement;
    std::string token;
    int braces = 0, parens = 0, dquotes = 0, squotes = 0;
    bool skipBlanks = false;

    if (trace == 1) traceLine("debugging mode is activated, printing debug information while parsing.");

    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (trace != 0) {
            traceLine(std::to_string(i) + "/" + std::string(1, c));
            if (c == '\n') traceLine("detected newline, reset");
        }
        const int prior = braces + parens + dquotes + squotes;
        if (c == '\n' && prior == 0) {
            statement.push_back(std::move(token));
            result.push_back(std::move(statement));
            token.clear();
            statement.clear();
            skipBlanks = true;
            continue;
        }
        switch (c) {
            case '"':
                if (dquotes > 0) --dquotes;
                else if (prior == 0) dquotes = 1;
                break;
            case '\'':
                if (squotes > 0) --squotes;
                else if (prior == 0) squotes = 1;
                break;
            case '{':
                if (dquotes == 0 && squotes == 0 && parens == 0 && ++braces > kMaxTextNesting)
                    throw ScriptError(kNestingTooDeep);
                break;
            case '(':
                if (dquotes == 0 && squotes == 0 && braces == 0 && ++parens > kMaxTextNesting)
                    throw ScriptError(kNestingTooDeep);
                break;
            case '}':
                if (prior > 0 && dquotes == 0 && squotes == 0 && parens == 0) --braces;
                break;
            case ')':
                if (prior > 0 && dquotes == 0 && squotes == 0 && braces == 0) --parens;
                break;
            default: break;
        }
        const bool blank = c == ' ' || c == '\t';
        if (skipBlanks && blank) continue;
        if (braces + parens + dquotes + squotes > 0) {
            token += c;
        } else if (blank) {
            statement.push_back(std::move(token));
            token.clear();
        } else {
            token += c;
        }
        skipBlanks = false;
    }

    statement.push_back(std::move(token));
    result.push_back(std::move(statement));
    if (braces + parens + dquotes + squotes != 0) throw UnbalancedText{braces, parens, dquotes, squotes};
    return result;
}

}  // namespace vorn
