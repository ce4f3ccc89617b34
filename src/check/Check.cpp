// The checker's entry points: one text, and files named on a command line.
#include "check/Check.h"

#include <algorithm>
#include <ostream>

#include "check/Walker.h"
#include "platform/Platform.h"
#include "values/Error.h"

namespace vorn::check {

const std::vector<Rule>& rules() {
    static const std::vector<Rule> kRules = {
        {code::kAssignExtra, "an assignment with more than three tokens"},
        {code::kAssignOperator, "an assignment operator of two or more characters other than += -= *= /="},
        {code::kOneLineBlock, "a one-line block holding more than one statement"},
        {code::kEmptyToken, "an empty token inside a group or an argument list"},
        {code::kNotAsOperand, "\"not\" right after an operator"},
        {code::kOperatorArgument, "an operator expression as call arguments without parentheses"},
        {code::kDollarL, "\"$L\" inside an argument list"},
        {code::kIgnoredTokens, "tokens after a statement's last operand"},
        {code::kUnknownOperator, "a text in operator position that is no operator"},
        {code::kKeywordTarget, "a keyword as an assignment target"},
        {code::kMissingFile, "also of a file that does not exist"},
        {code::kLaterLines, "a group or argument list that goes on after its first line"},
    };
    return kRules;
}

std::vector<Finding> checkText(std::string_view text, const EntryExists& exists) {
    std::vector<Finding> findings;
    Walker(findings, exists).block(text, 1, 0, false);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return findings;
}

std::vector<Finding> checkText(std::string_view text) {
    return checkText(text, [](const std::string& path) {
        try {
            return platform::exists(path);
        } catch (const ScriptError&) {
            return true;  // there, but not readable: not the checker's business
        }
    });
}

std::string formatFinding(std::string_view name, const Finding& finding) {
    std::string line = std::string(name) + ":" + std::to_string(finding.line) + ": ";
    if (finding.severity == Severity::Error) return line + "error: " + finding.text;
    return line + "warning: " + finding.text + " [" + finding.code + "]";
}

namespace {

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::string readStandardInput() {
    std::vector<std::string> lines;
    std::string line;
    while (platform::readLine(line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return joinLines(lines);
}

}  // namespace

int runCheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    bool options = true;
    for (const std::string& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            err << "vorn-run: unknown option " << argument << " for --check\n";
            return 2;
        } else {
            files.push_back(argument);
        }
    }
    if (files.empty()) {
        err << "vorn-run: --check needs at least one FILE (- for standard input)\n";
        return 2;
    }

    int status = 0;
    for (const std::string& file : files) {
        std::string text;
        if (file == "-") {
            text = readStandardInput();
        } else {
            bool readable = false;
            try {
                readable = platform::exists(file) && !platform::isDirectory(file);
            } catch (const ScriptError&) {
            }
            if (!readable) {
                err << "vorn-run: cannot read " << file << "\n";
                status = 2;
                continue;
            }
            text = joinLines(platform::readSourceLines(file));
        }
        const std::vector<Finding> findings = checkText(text);
        for (const Finding& finding : findings) out << formatFinding(file, finding) << "\n";
        out.flush();
        if (!findings.empty() && status == 0) status = 1;
    }
    return status;
}

}  // namespace vorn::check
