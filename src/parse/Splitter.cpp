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

void scanStatements(std::string_view source, TokenSink& sink, int trace) {
    // The token being built is source[tokenStart, tokenStart + tokenSize):
    // once its first byte is taken, every byte up to the blank or newline
    // that ends it is taken too.
    std::size_t tokenStart = 0;
    std::size_t tokenSize = 0;
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
            sink.token(source.substr(tokenStart, tokenSize));
            sink.statementEnd();
            tokenSize = 0;
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
        if (braces + parens + dquotes + squotes == 0 && blank) {
            sink.token(source.substr(tokenStart, tokenSize));
            tokenSize = 0;
        } else {
            if (tokenSize == 0) tokenStart = i;
            ++tokenSize;
        }
        skipBlanks = false;
    }

    sink.token(source.substr(tokenStart, tokenSize));
    sink.statementEnd();
    if (braces + parens + dquotes + squotes != 0) throw UnbalancedText{braces, parens, dquotes, squotes};
}

namespace {

// Collects the pieces as byte strings.
class StatementCollector final : public TokenSink {
public:
    void token(std::string_view token) override { statement_.emplace_back(token); }
    void statementEnd() override {
        result.push_back(std::move(statement_));
        statement_.clear();
    }
    StatementList result;

private:
    Statement statement_;
};

}  // namespace

StatementList splitStatements(std::string_view source, int trace) {
    StatementCollector collector;
    scanStatements(source, collector, trace);
    return std::move(collector.result);
}

}  // namespace vorn
