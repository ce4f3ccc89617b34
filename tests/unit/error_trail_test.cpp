// Where an error happened: the frames it collects on its way up, and the
// report made of them and of the texts the session ran.
#include <gtest/gtest.h>

#include <string>

#include "exec/NearName.h"
#include "exec/Interpreter.h"
#include "exec/Where.h"
#include "values/Error.h"

using namespace vorn;

namespace {

// Each case records its texts in an interpreter of its own.
class ErrorTrailTest : public ::testing::Test {
protected:
    Interpreter interpreter;
};

// A recursion of `depth` calls of the same body, failing on its line 2 and
// calling itself from its line 4, called from line 7 of the file.
ScriptError recursion(const Text& body, int depth) {
    ScriptError error("stoi");
    error.leaveStatement(2, true);
    error.trail().leaveCall("down", body);
    for (int i = 1; i < depth; ++i) {
        error.leaveStatement(4, true);
        error.trail().leaveCall("down", body);
    }
    error.leaveStatement(6, true);
    error.locateInFile("r.VORN");
    return error;
}

TEST_F(ErrorTrailTest, ABodyIsPlacedInTheNewestTextHoldingIt) {
    const std::string body = "{\n    x = 1\n    y = nosuch\n}";
    recordFile(interpreter, "old.VORN", "f = " + body + "\n");
    recordFile(interpreter, "new.VORN", "\n\nf = " + body + "\n$f\n");
    ScriptError error("stoi: unknown name nosuch");
    error.leaveStatement(2, true);
    error.trail().leaveCall("f", Text(body));
    error.leaveStatement(6, true);
    error.locateInFile("main.vorn");
    EXPECT_EQ(errorReport(interpreter, error), "stoi: unknown name nosuch (in new.VORN, line 5; $f called at main.vorn, line 7)");
    // The same path again replaces its text: the body moved down a line.
    recordFile(interpreter, "new.VORN", "\n\n\nf = " + body + "\n");
    EXPECT_EQ(errorReport(interpreter, error), "stoi: unknown name nosuch (in new.VORN, line 6; $f called at main.vorn, line 7)");
}

TEST_F(ErrorTrailTest, RecursionIsOneEntryAndLongChainsShowTheirEnds) {
    const std::string body = "{\n    compare (arg0 == 0) {\n        end nothing\n    }\n    end $down$((arg0 - 1))\n}";
    recordFile(interpreter, "r.VORN", "down = " + body + "\n$down$(9)\n");
    const Text text(body);
    // Identical frames are counted, not kept, however deep.
    const ScriptError deep = recursion(text, 100000);
    EXPECT_EQ(deep.trail().inner().size(), 3u);  // the failing call, the recursive ones, the file
    EXPECT_EQ(errorReport(interpreter, deep),
              "stoi (in r.VORN, line 3; $down called at line 5, the same call 99998 more times; $down called at line 7)");
    // Two functions calling each other: a few frames at each end.
    ScriptError mutual("stoi");
    const Text ping("{\n end $pong\n}"), pong("{\n end $ping\n}");
    recordFile(interpreter, "pp.VORN", "ping = " + ping.str() + "\npong = " + pong.str() + "\n$ping\n");
    for (int i = 0; i < 50; ++i) {
        mutual.leaveStatement(1, true);
        mutual.trail().leaveCall(i % 2 ? "pong" : "ping", i % 2 ? pong : ping);
    }
    mutual.leaveStatement(6, true);
    mutual.locateInFile("pp.VORN");
    EXPECT_EQ(mutual.trail().inner().size(), ErrorTrail::kKept);
    EXPECT_EQ(mutual.trail().outer().size(), ErrorTrail::kKept);
    EXPECT_EQ(mutual.trail().skipped(), 51 - 2 * ErrorTrail::kKept);
    // Left out: the calls of the skipped frames and the one out of the last
    // frame kept at the inner end.
    EXPECT_EQ(errorReport(interpreter, mutual),
              "stoi (in pp.VORN, line 2; $ping called at line 5; $pong called at line 2; $ping called at line 5; "
              "... 44 more calls; $pong called at pp.VORN, line 2; $ping called at line 5; $pong called at line 7)");
}

TEST_F(ErrorTrailTest, ThePromptAndUnnamedTextsNameOnlyWhatTheyCan) {
    // An error on a line typed at the prompt names nothing, as it always did.
    ScriptError typed("stoi: unknown name x");
    typed.leaveStatement(0, true);
    typed.trail().leaveExec(Text("x = (1 + x)"), true);
    EXPECT_EQ(errorReport(interpreter, typed), "stoi: unknown name x");
    // A function typed at the prompt is located there.
    recordPromptEntry(interpreter, "f = {\n    end zz\n}");
    ScriptError inFunction("stoi: unknown name zz");
    inFunction.leaveStatement(1, true);
    inFunction.trail().leaveCall("f", Text("{\n    end zz\n}"));
    inFunction.leaveStatement(0, true);
    inFunction.trail().leaveExec(Text("$f"), true);
    EXPECT_EQ(errorReport(interpreter, inFunction), "stoi: unknown name zz (typed at the prompt, line 2; $f called at the prompt)");
    // The top of a script run without its name is left out, and with it a
    // report that would name no place at all.
    ScriptError unnamed("stoi");
    unnamed.leaveStatement(3, true);
    unnamed.trail().leaveCall("g", Text("{ end q }"));
    EXPECT_EQ(errorReport(interpreter, unnamed), "stoi");
}

TEST_F(ErrorTrailTest, UnbalancedTextIsPlacedWhereItOpened) {
    const Text body("{\n    x = 1\n    y = (\"a\n}");
    const std::string_view inside = body.view().substr(1, body.size() - 2);
    UnbalancedText unbalanced(0, 1, 0, 0);
    unbalanced.text = inside.substr(inside.find("y ="));
    recordFile(interpreter, "u.VORN", "\nf = " + body.str() + "\n");
    try {
        throughCall("f", body, [&]() -> int { throw unbalanced; });
    } catch (UnbalancedText& caught) {
        caught.trail.leaveStatement(3, true);
        caught.trail.leaveFile("u.VORN");
        EXPECT_EQ(unbalancedReport(interpreter, caught),
                  "unbalanced text: a parenthesis is never closed (in u.VORN, line 4; $f called at line 4)");
        return;
    }
    ADD_FAILURE() << "nothing thrown";
}

TEST(NearName, CaseFirstThenFewestEditsThenByteOrder) {
    const std::vector<std::string> names = {"print", "Print", "count", "counter", "ab", "items_seen"};
    EXPECT_EQ(closestName("PRINT", names), "Print");  // a case difference beats an edit
    EXPECT_EQ(closestName("prnt", names), "print");
    EXPECT_EQ(closestName("cuont", names), "count");  // two neighbours swapped
    EXPECT_EQ(closestName("itms_sen", names), "items_seen");
    EXPECT_EQ(closestName("AB", names), "ab");
    EXPECT_EQ(closestName("ac", names), "");  // short names: case only
    EXPECT_EQ(closestName("cnt", names), "");  // two edits for a short name
    EXPECT_EQ(closestName("print", names), "Print");  // never the name itself
    EXPECT_EQ(closestName("xyz", {"xya", "xyb"}), "xya");
}

}  // namespace
