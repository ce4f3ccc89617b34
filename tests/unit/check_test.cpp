// Unit tests of the checker: each trap with its code and line, the right way
// to write it without a finding, lines inside nested blocks and tokens that
// span lines, unbalanced text located where it opened, and the command-line
// entry's statuses.
#include "check/Check.h"
#include "check/Walker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "parse/Splitter.h"

namespace fs = std::filesystem;
using vorn::check::checkText;
using vorn::check::Finding;
using vorn::check::Severity;

namespace {

// "LINE CODE" per finding ("LINE error" for errors); `also` finds only the
// files named in `present`.
std::vector<std::string> found(std::string_view text, std::set<std::string> present = {}) {
    std::vector<std::string> out;
    for (const Finding& f : checkText(text, [&](const std::string& path) { return present.count(path) > 0; }))
        out.push_back(std::to_string(f.line) + " " + (f.severity == Severity::Error ? "error" : f.code));
    return out;
}

std::string firstText(std::string_view text) {
    const auto findings = checkText(text, [](const std::string&) { return true; });
    return findings.empty() ? "" : findings[0].text;
}

using Codes = std::vector<std::string>;

}  // namespace

TEST(CheckAssignment, ExtraTokensAfterTheValue) {
    EXPECT_EQ(found("x = a + b"), Codes{"1 V001"});
    EXPECT_EQ(firstText("x = a + b"), "only \"a\" is assigned, \"+\" and what follows are ignored; write x = (a + b)");
    EXPECT_EQ(found("(p x) += a * 2"), Codes{"1 V001"});
    EXPECT_EQ(firstText("(p x) += a * 2"),
              "only \"a\" is assigned, \"*\" and what follows are ignored; write (p x) += (a * 2)");
    EXPECT_EQ(found("x = 5 y = 6"), Codes{"1 V001"});
    EXPECT_EQ(found("x = (a + b)\nx += 1\nx = a"), Codes{});
}

TEST(CheckAssignment, LongOperatorOtherThanCompoundAssignment) {
    EXPECT_EQ(found("q == 3"), Codes{"1 V002"});
    EXPECT_EQ(firstText("q == 3"),
              "\"==\" is no assignment operator: only its first character counts, so this stores an unspecified "
              "value in q (\"=\" is no operator); a comparison is written in parentheses where a value is used: "
              "(q == 3)");
    EXPECT_EQ(firstText("x -> 5"),
              "\"->\" is no assignment operator: only its first character counts, so this subtracts 5 from x; a "
              "member is read in parentheses: (x -> 5)");
    EXPECT_EQ(firstText("x <= 5"),
              "\"<=\" is no assignment operator: only its first character counts, so this stores the comparison "
              "(x < 5), 1 or 0, in x; a comparison is written in parentheses where a value is used: (x <= 5)");
    EXPECT_EQ(found("x ++ 1\nx =: 1"), (Codes{"1 V002", "2 V002"}));
    // One character is plain assignment whatever it is; the four compound
    // forms are what they look like.
    EXPECT_EQ(found("x += 1\nx -= 1\nx *= 2\nx /= 2\nx : 5"), Codes{});
}

TEST(CheckAssignment, KeywordAsTarget) {
    EXPECT_EQ(found("list = 5"), Codes{"1 V010"});
    EXPECT_EQ(firstText("list = 5"),
              "\"list\" is a keyword, so this line makes an empty list named \"=\"; choose a name that is not a "
              "keyword");
    EXPECT_EQ(firstText("each += 1"),
              "\"each\" is a keyword, so this line is an each statement, not an assignment; choose a name that is "
              "not a keyword");
    EXPECT_EQ(found("end = 1\ncompare -= 2"), (Codes{"1 V010", "2 V010"}));
    EXPECT_EQ(found("lists = 5\nlist L"), Codes{});
}

TEST(CheckBlocks, OneLineBlockHoldsOneStatement) {
    EXPECT_EQ(found("f = { x = 1 $print$(x) }"), Codes{"1 V003"});
    EXPECT_EQ(found("compare (1) { $print$(1) $print$(2) }"), Codes{"1 V003"});
    EXPECT_EQ(found("f = { end 1 2 }"), Codes{"1 V003"});
    // An operator after the value is a bare expression, not a second statement.
    EXPECT_EQ(found("f = { x = a + b }"), Codes{"1 V001"});
    EXPECT_EQ(found("f = {\n    x = 1\n    $print$(x)\n}\ng = { end 1 }\n$print$({ end 2 })"), Codes{});
    // Over several lines the same tokens are ordinary ignored tokens.
    EXPECT_EQ(found("f = {\n    $print$(1) $print$(2)\n}"), Codes{"2 V008"});
}

TEST(CheckExpressions, EmptyTokens) {
    EXPECT_EQ(found("x = ( a + b)"), Codes{"1 V004"});
    EXPECT_EQ(firstText("x = ( a + b)"),
              "an empty token (a blank after the opening parenthesis) is read as an operand and fails; write one "
              "blank between tokens: (a + b)");
    EXPECT_EQ(firstText("x = (1  + 2)"),
              "an empty token (two blanks in a row) takes the place of an operator, and the expression fails; write "
              "one blank between tokens: (1 + 2)");
    EXPECT_EQ(firstText("x = (a )"),
              "an empty token (a blank before the closing parenthesis) takes the place of an operator, and the "
              "expression fails; write one blank between tokens: (a)");
    EXPECT_EQ(firstText("x = (a + b  c)"),
              "an empty token (two blanks in a row) takes the place of an operator, and the value so far is lost; "
              "write one blank between tokens: (a + b c)");
    EXPECT_EQ(found("compare () {\n}"), Codes{"1 V004"});
    EXPECT_EQ(found("(p  x) = 1"), Codes{"1 V004"});
    // One mistake, one finding: the tokens after it are all out of place.
    EXPECT_EQ(found("x = (1  + 2 + 3 % 4)"), Codes{"1 V004"});
    // A blank that ends the text where the pending operator stands is dropped
    // with it and harms nothing.
    EXPECT_EQ(found("x = (a + b )\nx = (a + b * c + d )"), Codes{});
    EXPECT_EQ(found("x = (a + b * c )"), Codes{"1 V004"});
}

TEST(CheckExpressions, NotAfterAnOperator) {
    EXPECT_EQ(found("compare (a and not b) {\n}"), Codes{"1 V005"});
    EXPECT_EQ(firstText("x = (a and not b)"),
              "\"not\" after an operator is read as an operand and fails; give the negation a group of its own: (a "
              "and (not b))");
    // Opening the expression, or a later step after the pending operator,
    // "not" is taken away as it should be.
    EXPECT_EQ(found("x = (not a)\nx = (not a > 3)\nx = (a and b or not c)\nx = (a and (not b))"), Codes{});
}

TEST(CheckExpressions, TextInOperatorPosition) {
    EXPECT_EQ(found("x = (3 % 2)"), Codes{"1 V009"});
    EXPECT_EQ(firstText("x = (a = b)"),
              "\"=\" is no operator, so this step yields an unspecified value; compare with ==: (a == b)");
    EXPECT_EQ(found("x = (a + b c d)"), Codes{"1 V009"});
    EXPECT_EQ(found("x = (a + b c)"), Codes{"1 V009"});
    EXPECT_EQ(firstText("x = (a + b c)"),
              "\"c\" stands where an operator belongs at the end of the expression, so it is ignored; join it with "
              "an operator, or write it as an operand of its own");
    // Every operator, and a pending operator that ends the text, is fine.
    EXPECT_EQ(found("x = (a and b or c == d != e > f >= g < h <= i + j - k * l / m -> n)\nx = (1 + 2 *)"),
              Codes{});
}

TEST(CheckExpressions, OnlyTheFirstLineOfAGroupCounts) {
    EXPECT_EQ(found("x = (a +\n    b)"), Codes{"2 V012"});
    EXPECT_EQ(found("$f$(a\n    b)"), Codes{"2 V012"});
    // A first line left empty is that same mistake, not an empty token too.
    EXPECT_EQ(found("x = (\n    a + b\n)\n$f$(\n    a\n)"), (Codes{"2 V012", "5 V012"}));
    // A line end before the closing parenthesis leaves nothing behind, and
    // one inside quotes belongs to the text.
    EXPECT_EQ(found("x = (a + b\n)\n$print$(\"a\nb\")"), Codes{});
}

TEST(CheckCalls, OperatorExpressionAsArguments) {
    EXPECT_EQ(found("$f$(a + b)"), Codes{"1 V006"});
    EXPECT_EQ(firstText("$f$(a + b)"),
              "\"+\" is passed as an argument of its own, which fails (each token is one argument); write the "
              "expression in parentheses: $f$((a + b))");
    EXPECT_EQ(firstText("x = $print$(\"a\" + s \"n\")$L(s)"),
              "\"+\" is passed as an argument of its own, which fails (each token is one argument); write the "
              "expression in parentheses: $print$((\"a\" + s) \"n\")$L(s)");
    EXPECT_EQ(firstText("$f$(not x)"),
              "\"not\" is passed as an argument of its own, which fails (each token is one argument); write the "
              "expression in parentheses: $f$((not x))");
    EXPECT_EQ(found("$f$((a + b))\n$f$(a b)\n$f$(-1 +1)"), Codes{});
}

TEST(CheckCalls, EmptyArguments) {
    EXPECT_EQ(firstText("$f$()"), "\"$f$()\" passes one empty argument, which fails; call without arguments as $f");
    EXPECT_EQ(firstText("$f$(a )"),
              "an empty token in the argument list (a blank before the closing parenthesis) is passed as an empty "
              "argument, which fails; write one blank between arguments: $f$(a)");
    EXPECT_EQ(found("$f$(a  b)\n$f$( a)"), (Codes{"1 V004", "2 V004"}));
    EXPECT_EQ(found("$f\n$f$(a)"), Codes{});
}

TEST(CheckCalls, DollarLInsideArguments) {
    EXPECT_EQ(found("$print$($Log$(x))"), Codes{"1 V007"});
    EXPECT_EQ(firstText("$print$($Log$(x))"),
              "the nested call of \"Log\" is cut out of the arguments and read as a sharing group (\"$\" followed by "
              "\"L\" always starts one); call it first and pass the result in a variable, or rename it");
    EXPECT_EQ(firstText("$print$(\"cost: $Lots\")"),
              "\"$L\" inside a text in the arguments starts a sharing group, so the arguments are cut there; keep "
              "such a text in a variable and pass the variable");
    // After the argument group a sharing group is what was meant.
    EXPECT_EQ(found("$f$(x)$L(y)\n$f$L(y)\n$print$(\"a $ b\")\n$print$($log$(x))"), Codes{});
}

TEST(CheckStatements, IgnoredTokens) {
    EXPECT_EQ(found("$print$(1) $print$(2)"), Codes{"1 V008"});
    EXPECT_EQ(firstText("$print$(1) $print$(2)"),
              "\"$print$(2)\" and what follows are ignored (a call statement makes one call); put each statement on "
              "a line of its own");
    EXPECT_EQ(firstText("end a + b"),
              "\"end\" takes each operand as one token, so \"+\" and what follows are ignored; write the expression "
              "in parentheses: (a + b)");
    EXPECT_EQ(firstText("add L a + b"),
              "\"add\" takes each operand as one token, so \"+\" and what follows are ignored; write the "
              "expression in parentheses: (a + b)");
    // A condition spread over tokens before its body is the trap walk's.
    EXPECT_EQ(found("compare x == 1 {\n}\nuntil not done {\n}"), (Codes{"1 V020", "3 V020"}));
    EXPECT_EQ(firstText("compare x == 1 {\n}"),
              "the condition of compare is one token, so only \"x\" is tested and \"==\" is taken as the body; put "
              "the condition in parentheses: compare (x == 1) {");
    // The line of the first ignored token, after a body of several lines.
    EXPECT_EQ(found("compare (1) {\n    x = 1\n} {\n}"), Codes{"3 V008"});
    EXPECT_EQ(found("list L\nadd L 1 2\nindex L 0 e f\nremove L 0 1\ndelete e f\nexec (x) y\nalso (x) y"),
              (Codes{"2 V008", "3 V008", "4 V008", "5 V008", "6 V008", "7 V008"}));
    EXPECT_EQ(found("end\nend 1\nlist L\nadd L 1\nindex L 0 e\nwhere L 1 p\nremove L 0\nclass C {\n    x = 1\n}"),
              Codes{});
}

TEST(CheckStatements, AlsoOfAMissingFile) {
    EXPECT_EQ(found("also \"nothere\""), Codes{"1 V011"});
    EXPECT_EQ(checkText("also \"nothere\"", [](const std::string&) { return false; })[0].text,
              "neither lib/nothere.VORN nor nothere.VORN exists in this folder, so this runs nothing; check the "
              "name (also adds \".VORN\" itself)");
    EXPECT_EQ(found("also \"text\"\nalso ('mine')", {"lib/text.VORN", "mine.VORN"}), Codes{});
    // Only a literal name can be looked up.
    EXPECT_EQ(found("also name\nalso ($f)"), Codes{});
}

TEST(CheckLines, NestedBlocksAndTokensThatSpanLines) {
    const std::string text =
        "f = {\n"                       // 1
        "    compare (x) {\n"           // 2
        "        y = a + b\n"           // 3
        "    }\n"                       // 4
        "    $g$(\"two\n"               // 5
        "lines\" a + b)\n"              // 6
        "}\n"                           // 7
        "\n"                            // 8
        "z = { end 1 } + 2\n"           // 9
        "$h$({\n"                       // 10
        "    q == 1\n"                  // 11
        "})\n";                         // 12
    EXPECT_EQ(found(text), (Codes{"3 V001", "6 V006", "9 V001", "11 V002"}));
}

TEST(CheckLines, FindingsComeInLineOrder) {
    // The V008 of line 1 is found after the body's own findings.
    EXPECT_EQ(found("compare (1) {\n    x = a + b\n} {\n}\n$f$(a + b)"), (Codes{"2 V001", "3 V008", "5 V006"}));
}

TEST(CheckLines, LargeFilesAreWalkedWhole) {
    // Every kind of trap the second walk tells (recursion, a rebinding in a
    // body, a hidden function resolved at the end, another language's
    // keyword, an operator without blanks), nested in bodies and calls.
    const std::string traps =
        "walk = {\n    total = 1\n    compare (arg0 > 0) {\n        total += $walk$((arg0 - 1))\n    }\n"
        "    end total\n}\n"
        "list L\nfirst = 0\neach (L) {\n    list first\n}\n$print$(first)\n"
        "g = {\n    end 1\n}\nf = {\n    end ($g + $print$(a*b))\n}\nr = $f$(1)$L(y)\n"
        "while (x < 3) {\n}\n";
    std::vector<Finding> alone = checkText(traps, [](const std::string&) { return true; });
    ASSERT_EQ(alone.size(), 5u);
    // The same text behind more than 256 KiB of statements (the trap walk
    // once stopped there) and a body of as many: the same findings, moved
    // down by the lines in front.
    constexpr int kLines = 50000;
    std::string padding = "p = {\n";
    for (int i = 0; i < kLines; ++i) padding += "x = 1\n";
    padding += "}\n";
    const std::vector<Finding> behind = checkText(padding + traps, [](const std::string&) { return true; });
    ASSERT_EQ(behind.size(), alone.size());
    for (std::size_t i = 0; i < alone.size(); ++i) {
        EXPECT_EQ(behind[i].line, alone[i].line + kLines + 2);
        EXPECT_EQ(behind[i].code, alone[i].code);
        EXPECT_EQ(behind[i].text, alone[i].text);
    }
}

TEST(CheckUnbalanced, ReportedWhereTheOpenerBegan) {
    EXPECT_EQ(found("x = 1\nf = {\n    y = 2\n"), Codes{"2 error"});
    EXPECT_EQ(firstText("x = 1\nf = {\n    y = 2\n"), "unbalanced text: the brace opened on this line is never closed");
    EXPECT_EQ(firstText("x = \"abc\ny = 2"), "unbalanced text: the double quote opened on this line is never closed");
    EXPECT_EQ(firstText("x = 'abc"), "unbalanced text: the single quote opened on this line is never closed");
    EXPECT_EQ(firstText("x = (1 +\n2"), "unbalanced text: the parenthesis opened on this line is never closed");
    // The outermost opener still open: the inner brace took the closing one.
    EXPECT_EQ(found("f = {\n  g = {\n  }\n"), Codes{"1 error"});
    // Balanced as a whole, unbalanced once a body is split: that body alone,
    // and the rest of the text is still checked.
    EXPECT_EQ(found("x = 1\nf = {\n    y = \"\n}\nz = a + b"), (Codes{"3 error", "5 V001"}));
    EXPECT_EQ(found("x = (a)+(b)"), Codes{"1 error"});
    // Closers without openers are ordinary characters.
    EXPECT_EQ(found("x = a}b\ny = c)"), Codes{});
}

TEST(CheckUnbalanced, AgreesWithTheSplitter) {
    std::mt19937 random(15);
    const std::string alphabet = "{}()\"' \nab";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        bool unbalanced = false;
        try {
            vorn::splitStatements(text);
        } catch (const vorn::UnbalancedText&) {
            unbalanced = true;
        }
        const vorn::check::OpenDelimiter open = vorn::check::findOpenDelimiter(text);
        ASSERT_EQ(open.offset != std::string_view::npos, unbalanced) << text;
        if (unbalanced) {
            ASSERT_NE(std::string("{(\"'").find(text[open.offset]), std::string::npos) << text;
        }
    }
}

TEST(CheckRobustness, AnyTextGivesFindingsWithinItsLines) {
    // Pieces of code and of mistakes, glued at random: nothing may throw, and
    // every finding names a line of the text.
    const std::vector<std::string> pieces = {"x", "=", "+=", "==", "+", "not", "and", "%", "$f", "$L", "$", "(",
                                             ")", "{", "}", "\"", "'", " ", "  ", "\n", "also", "list", "end",
                                             "compare", "each", "class", "(p x)", "$f$(", "$Log$(", "1", "\t"};
    std::mt19937 random(13);
    std::size_t total = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 30);
        for (int i = 0; i < length; ++i) text += pieces[random() % pieces.size()];
        const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
        std::vector<Finding> findings;
        ASSERT_NO_THROW(findings = checkText(text, [](const std::string&) { return false; })) << text;
        for (const Finding& f : findings) {
            ASSERT_GE(f.line, 1) << text;
            ASSERT_LE(f.line, lines) << text;
        }
        total += findings.size();
    }
    EXPECT_GT(total, 1000u);
}

TEST(CheckUnbalanced, NestingBeyondTheSplittersLimit) {
    const std::string deep = "x = " + std::string(40001, '(') + std::string(40001, ')');
    EXPECT_EQ(found(deep), Codes{"1 error"});
    EXPECT_EQ(firstText(deep), "nesting too deep");
    // Deep but allowed nesting is walked no further than the checker's limit.
    const std::string nested = "x = " + std::string(5000, '(') + "a  b" + std::string(5000, ')');
    EXPECT_EQ(found(nested), Codes{});
    const std::string shallow = "x = " + std::string(50, '(') + "a  b" + std::string(50, ')');
    EXPECT_EQ(found(shallow), Codes{"1 V004"});
}

TEST(CheckOutput, FormatAndRules) {
    EXPECT_EQ(vorn::check::formatFinding("a.vorn", {3, Severity::Warning, "V001", "text"}),
              "a.vorn:3: warning: text [V001]");
    EXPECT_EQ(vorn::check::formatFinding("-", {7, Severity::Error, "", "unbalanced text: x"}),
              "-:7: error: unbalanced text: x");
    const auto& rules = vorn::check::rules();
    for (std::size_t i = 0; i < rules.size(); ++i) {
        std::string code = std::to_string(i + 1);
        code.insert(0, 3 - code.size(), '0');
        code.insert(0, 1, 'V');
        EXPECT_EQ(rules[i].code, code);
    }
}

#ifdef VORN_SOURCE_DIR
TEST(CheckOutput, GuideHasASectionAndAWrongExampleForEveryCode) {
    std::ifstream in(std::string(VORN_SOURCE_DIR) + "/docs/guide.md", std::ios::binary);
    if (!in) GTEST_SKIP() << "guide not found";
    const std::string guide((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const auto& rule : vorn::check::rules()) {
        const std::string code = rule.code;
        EXPECT_NE(guide.find("### " + code + ": "), std::string::npos) << code;
        EXPECT_NE(guide.find("<!-- check: " + code), std::string::npos) << code;
    }
    // ... and none for a code the checker does not have.
    std::string next = std::to_string(vorn::check::rules().size() + 1001).substr(1);
    next.insert(0, "### V");
    EXPECT_EQ(guide.find(next + ": "), std::string::npos);
}
#endif

class CheckFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("vorn-check-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string write(const std::string& name, const std::string& text) {
        const fs::path path = root_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    int run(const std::vector<std::string>& args) {
        out_.str("");
        err_.str("");
        return vorn::check::runCheck(args, out_, err_);
    }
    fs::path root_;
    std::ostringstream out_, err_;
};

TEST_F(CheckFiles, StatusAndOutputPerFile) {
    const std::string clean = write("clean.vorn", "x = (1 + 2)\n$print$(x)\n");
    const std::string bad = write("bad.vorn", "x = 1 + 2\r\n$print$(x) y\r\n");
    EXPECT_EQ(run({clean}), 0);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(run({clean, bad}), 1);
    EXPECT_EQ(out_.str(), bad + ":1: warning: only \"1\" is assigned, \"+\" and what follows are ignored; write x = (1 + 2) [V001]\n" +
                              bad + ":2: warning: \"y\" and what follows are ignored (a call statement makes one call); put each statement on a line of its own [V008]\n");
}

TEST_F(CheckFiles, MissingFilesAreReportedAndTheOthersChecked) {
    const std::string bad = write("bad.vorn", "x = 1 + 2\n");
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(err_.str(), "vorn-run: no file to check\n");
    const std::string missing = (root_ / "missing.vorn").string();
    EXPECT_EQ(run({missing, bad, root_.string()}), 2);
    EXPECT_EQ(err_.str(), "vorn-run: cannot check " + missing + ": no such file\nvorn-run: cannot check " +
                              root_.string() + ": is a folder\n");
    EXPECT_NE(out_.str().find("[V001]"), std::string::npos);
    // Names are taken as they are: options are the caller's business.
    EXPECT_EQ(run({"-x"}), 2);
    EXPECT_EQ(err_.str(), "vorn-run: cannot check -x: no such file\n");
}
