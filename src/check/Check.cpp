// The checker's entry points: one text, and files named on a command line.
#include "check/Check.h"

#include <algorithm>
#include <ostream>

#include "app/ScriptFile.h"
#include "check/Traps.h"
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
        {code::kSharedRecursion, "a recursive call that shares the caller's names"},
        {code::kRebindInBody, "list, index or where in a body, on a name from outside"},
        {code::kForeignKeyword, "if, while, else or def as the first word"},
        {code::kLiteralTarget, "a literal as an assignment target"},
        {code::kOperatorInName, "an operator without blanks"},
        {code::kCommentLine, "a line that is only a text, or a # comment"},
        {code::kHiddenFunction, "a sharing group that hides a function the callee calls"},
        {code::kSpreadCondition, "a condition of more than one token"},
    };
    return kRules;
}

std::vector<Finding> checkText(std::string_view text, const EntryExists& exists) {
    std::vector<Finding> findings;
    Walker(findings, exists).block(text, 1, 0, false);
    findTraps(text, findings);
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

int runCheck(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
    if (files.empty()) {
        err << "vorn-run: no file to check\n";
        return 2;
    }
    int status = 0;
    for (const std::string& file : files) {
        std::string text, name = file;
        if (file == "-") name = "<stdin>";
        if (const std::string problem = readScript(file, text); !problem.empty()) {
            err << "vorn-run: cannot check " << file << ": " << problem << "\n";
            status = 2;
            continue;
        }
        const std::vector<Finding> findings = checkText(text);
        for (const Finding& finding : findings) out << formatFinding(name, finding) << "\n";
        out.flush();
        if (!findings.empty() && status == 0) status = 1;
    }
    return status;
}

}  // namespace vorn::check
