// Statements read plain operands (names, texts, numbers) where they lie and
// compute rows of plain integers without Values (evaluateInPlace,
// evaluateTokenInteger, applyInPlace): conditions, compound assignments,
// `add`. Each case runs twice, once as written and once with an operand
// wrapped in parentheses, which is no plain operand and sends the row down
// the general path; both must end in the same state or the same error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builtins/BuiltinTable.h"
#include "TestInterpreter.h"
#include "exec/Run.h"
#include "parse/Code.h"
#include "values/Error.h"
#include "values/Heap.h"

namespace vorn {
namespace {

// The setup every case starts from; big is the largest integer.
const char* const kSetup =
    "a = 7\nb = -3\nt = \"12\"\nu = \"12\"\nw = \"abc\"\nf = 1.5\nz = 0\n"
    "big = (2147483647 * 2147483647 * 2 + 2147483647 + 2147483647 + 2147483647 + 2147483647 + 1)\n"
    "list L\nr = 0\n";

// Runs the setup and code in a fresh table; the result is the state of
// the names in `shown`, or the error's text.
std::string outcome(const std::string& code, const std::vector<const char*>& shown) {
    // Objects refer to themselves through their methods: collect what a
    // case leaves, so that no later test finds its cycles on the heap.
    struct Collect {
        ~Collect() { Heap::collectCycles(); }
    } collect;
    Scope inherited, local;
    try {
        runBlock(testInterpreter(), *prepareBlock(std::string(kSetup) + code), &inherited, &local);
    } catch (const ScriptError& e) {
        return std::string("error: ") + e.what();
    }
    std::string out;
    for (const char* name : shown) {
        ValueRef v = inherited.find(name);
        if (!v) v = local.find(name);
        if (!v) {
            out += std::string(name) + "=unbound ";
            continue;
        }
        out += std::string(name) + "=" + std::string(kindName(v->kind)) + ":" + std::to_string(v->integer) + ":" +
               v->text.str() + ":" + std::to_string(v->items.size()) + " ";
    }
    return out;
}

// Replaces the first occurrence of `from` in code with `to`.
std::string replaced(std::string code, const std::string& from, const std::string& to) {
    const std::size_t at = code.find(from);
    EXPECT_NE(at, std::string::npos) << code;
    if (at != std::string::npos) code.replace(at, from.size(), to);
    return code;
}

void expectSamePaths(const std::string& code, const std::string& from, const std::string& to,
                     const std::vector<const char*>& shown) {
    EXPECT_EQ(outcome(code, shown), outcome(replaced(code, from, to), shown)) << code;
}

TEST(ShortPaths, ConditionsOfTwoPlainOperandsAgreeWithTheGeneralPath) {
    const char* const conditions[] = {
        "a < b", "a > b", "b <= -3", "a >= 7", "a == 7", "a != 7", "a and b", "z or z", "a + b", "a - a",
        "a * z", "a / z", "t == u", "t != u", "t == w", "w == \"abc\"", "w != \"abd\"", "t == 12", "t < 13",
        "f > 1", "a == f", "w < 1", "a % b", "a -> b", "a + not", "nosuch < 1", "a < nosuch", "1 < 2",
        "2147483648 < 1", "\"x\" == \"x\"", "L == L", "a  < b", "a < b ", "1.5.2 < 2",
    };
    for (const char* condition : conditions) {
        const std::string cond(condition);
        const std::string first = cond.substr(0, cond.find(' '));
        for (const char* keyword : {"compare", "until"}) {
            const std::string code = std::string(keyword) + " (" + cond + ") {\n r += 1\n compare (r > 2) {\n end 0\n }\n}\n";
            expectSamePaths(code, "(" + first, "((" + first + ")", {"r"});
        }
    }
}

TEST(ShortPaths, ConditionsOfOnePlainOperand) {
    for (const char* operand : {"a", "z", "t", "w", "f", "L", "nosuch", "0", "\"5x\"", "not"}) {
        const std::string body = " {\n r = 1\n}\n";
        const std::string general = outcome(std::string("compare ((") + operand + "))" + body, {"r"});
        EXPECT_EQ(outcome(std::string("compare ") + operand + body, {"r"}), general) << operand;
        EXPECT_EQ(outcome(std::string("compare (") + operand + ")" + body, {"r"}), general) << operand;
    }
    EXPECT_EQ(outcome("compare t {\n r = 1\n}\n", {"r"}), "r=integer:1::0 ");
    EXPECT_EQ(outcome("compare (w) {\n r = 1\n}\n", {"r"}).rfind("error: stoi", 0), 0u);
}

TEST(ShortPaths, TextEqualityComparesBytes) {
    EXPECT_EQ(outcome("compare (t == u) {\n r = 1\n}\n", {"r"}), "r=integer:1::0 ");
    EXPECT_EQ(outcome("compare (t == \"12.0\") {\n r = 1\n}\n", {"r"}), "r=integer:0::0 ");
    EXPECT_EQ(outcome("compare (t == 12.0) {\n r = 1\n}\n", {"r"}), "r=integer:1::0 ");
    EXPECT_EQ(outcome("each (\"abcb\") {\n compare (element == \"b\") {\n r += 1\n }\n}\n", {"r"}),
              "r=integer:2::0 ");
    EXPECT_EQ(outcome("each (\"abcb\") {\n compare (element != \"b\") {\n r += 1\n }\n}\n", {"r"}),
              "r=integer:2::0 ");
}

TEST(ShortPaths, IntegerStepsAgreeWithTheGeneralPath) {
    const char* const steps[] = {
        "a += 1", "a -= b", "a += a", "a += t", "a += f", "a += w", "a += nosuch", "big += 1", "b -= big",
        "a *= 2", "a /= 2", "t += u", "f += 1", "L += 1", "fresh += 1", "a += 2147483648", "a ++ 1", "a +- 1",
    };
    for (const char* step : steps) {
        const std::string code = std::string(step) + "\n";
        const std::string value = code.substr(code.rfind(' ') + 1, code.size() - code.rfind(' ') - 2);
        expectSamePaths(code, " " + value + "\n", " ((" + value + "))\n", {"a", "b", "t", "f", "big", "fresh"});
    }
    EXPECT_EQ(outcome("big += 1\n", {"big"}), "big=integer:" + std::to_string(INT64_MIN) + "::0 ");
    // A member's step goes the same way.
    EXPECT_EQ(outcome("class C {\n n = 1\n}\no = $C\n(o n) += a\nr = (o -> \"n\")\n", {"r"}), "r=integer:8::0 ");
}

TEST(ShortPaths, AddAgreesWithTheGeneralPath) {
    for (const char* value : {"a", "t", "L", "nosuch", "\"x\"", "3", "1.5"}) {
        const std::string code = std::string("add L ") + value + "\nadd L a\nindex L 0 first\n";
        expectSamePaths(code, std::string("L ") + value, std::string("L ((") + value + "))", {"L", "first"});
    }
    // The element is a new Value: changing it leaves the variable alone.
    EXPECT_EQ(outcome("add L a\nindex L 0 e\ne += 1\n", {"a", "e"}), "a=integer:7::0 e=integer:8::0 ");
    EXPECT_EQ(outcome("add L L\n", {"L"}), "L=list:0::1 ");
}

// A callee that is a plain name or a member of plain operands is read
// where it lies; it must be copied before an argument that can run code,
// and what the call needs must be taken before the body runs.
TEST(ShortPaths, CalleesReadInPlace) {
    // The argument's call rebinds f's Value: the call still runs the old f.
    EXPECT_EQ(outcome("f = {\n end 1\n}\ng = {\n f = {\n end 2\n }\n end 0\n}\nr = $f$($g)\n", {"r"}),
              "r=integer:1::0 ");
    EXPECT_EQ(outcome("f = {\n end (arg0 + 1)\n}\ng = {\n f = 5\n end 4\n}\nr = $f$($g)\nq = f\n", {"r", "q"}),
              "r=integer:5::0 q=integer:5::0 ");
    // A function that replaces itself while it runs.
    EXPECT_EQ(outcome("f = {\n f = 7\n x = 1\n end (x + 2)\n}\nr = $f\n", {"r", "f"}),
              "r=integer:3::0 f=integer:7::0 ");
    // Parameter names, with plain and computed arguments.
    EXPECT_EQ(outcome("f = {\n end (p - q)\n}\nlist n\nadd n \"p\"\nadd n \"q\"\ng = $setargmap$(f n)\n"
                      "r = $g$((a + 1) b)\n",
                      {"r"}),
              "r=integer:11::0 ");
    // Arguments of plain operands, as written and in full.
    for (const char* args : {"a", "(a - b)", "(a < b)", "(t + u)", "(t + 1)", "(a + f)", "nosuch", "(a -> b)",
                             "(not a)", "(a + b + a)", "\"x\""}) {
        const std::string code = std::string("f = {\n end arg0\n}\nr = $f$(") + args + ")\n";
        expectSamePaths(code, std::string("$(") + args, std::string("$(((") + args + "))", {"r"});
    }
}

TEST(ShortPaths, MethodCalleesReadInPlace) {
    const std::string cls = "class C {\n n = 0\n m = {\n (self n) += arg0\n end (self -> \"n\")\n }\n}\no = $C\n";
    EXPECT_EQ(outcome(cls + "r = $(o -> \"m\")$(5)\nr = $(o -> \"m\")$(a)\n", {"r"}), "r=integer:12::0 ");
    // An argument that replaces the method: the call runs the method it read.
    EXPECT_EQ(outcome(cls + "g = {\n (o m) = {\n end 99\n }\n end 1\n}\nr = $(o -> \"m\")$($g)\n"
                            "q = $(o -> \"m\")$(1)\n",
                      {"r", "q"}),
              "r=integer:1::0 q=integer:99::0 ");
    // Missing members and non-objects fail as in full evaluation.
    for (const char* callee : {"(o -> \"nosuch\")", "(a -> \"m\")", "(o -> a)", "(o -> nosuch)"}) {
        const std::string code = cls + "r = $" + callee + "$(1)\n";
        const std::string general = replaced(code, std::string("$") + callee, std::string("$(") + callee + ")");
        EXPECT_EQ(outcome(code, {"r"}), outcome(general, {"r"})) << callee;
    }
    // A name that is a group's very text comes before the group.
    const std::string named = "f = {\n end 42\n}\nx = f\n";
    EXPECT_EQ(outcome(named + "r = $((x))\n", {"r"}), "r=integer:42::0 ");
    EXPECT_EQ(outcome(named + "list (x)\nr = $((x))\n", {"r"}), "r=unspecified:0::0 ");
}

// Short member tables are scanned, long ones searched: both find the same.
TEST(ShortPaths, MembersOfShortAndLongTables) {
    for (const char* extra : {"", "m1 = 1\nm2 = 2\nm3 = 3\nm4 = 4\nm5 = 5\nm6 = 6\nm7 = 7\nm8 = 8\n"}) {
        const std::string cls = std::string("class C {\n") + extra + "aa = 10\nb = 20\nzz = 30\n}\no = $C\n";
        EXPECT_EQ(outcome(cls + "(o zz) += 1\n(o b) = (o -> \"aa\")\nr = ((o -> \"zz\") + (o -> \"b\"))\n", {"r"}),
                  "r=integer:41::0 ");
        EXPECT_EQ(outcome(cls + "r = (o -> \"a\")\n", {"r"}), "error: no such member: a");
        EXPECT_EQ(outcome(cls + "(o zzz) = 1\n", {"r"}), "error: no such member: zzz");
        EXPECT_EQ(outcome(cls + "r = $(o -> \"b\")\n", {"r"}), "r=unspecified:0::0 ");
    }
}

// `end` with a plain operand returns a copy of it.
TEST(ShortPaths, EndReturnsACopy) {
    EXPECT_EQ(outcome("f = {\n end a\n}\nr = $f\nr += 1\n", {"a", "r"}), "a=integer:7::0 r=integer:8::0 ");
    for (const char* value : {"a", "(a)", "w", "nosuch", "not", "(not)", "\"q\""}) {
        const std::string code = std::string("f = {\n end ") + value + "\n}\nr = $f\n";
        expectSamePaths(code, std::string("end ") + value, std::string("end ((") + value + "))", {"r"});
    }
}

// A compare body runs in the enclosing run's table when the run has no
// local names and the body cannot rebind: what the body leaves behind must
// be exactly what a dropped copy of the table leaves.
TEST(ShortPaths, CompareBodiesLeaveTheTablesAlone) {
    // New names end with the body; changes in place to seen names stay.
    EXPECT_EQ(outcome("f = {\n compare (1 == 1) {\n made = 1\n a += arg0\n }\n end made\n}\nr = $f$(5)\n",
                      {"a", "r"}),
              "error: stoi: unknown name made");
    EXPECT_EQ(outcome("f = {\n compare (1 == 1) {\n made = 1\n a += arg0\n }\n end a\n}\nr = $f$(5)\n", {"a", "r"}),
              "a=integer:12::0 r=integer:12::0 ");
    // Rebinding inside the body lasts only to its end, with and without
    // a nested body around it.
    for (const char* body : {"list a", "list arg0", "compare 1 {\n list arg0\n }", "exec \"list arg0\"",
                             "index w 0 arg0", "where L 1 arg0", "class arg0 {\n}"}) {
        const std::string code = std::string("f = {\n compare (1 == 1) {\n ") + body +
                                 "\n }\n end (arg0 + a)\n}\nr = $f$(5)\n";
        EXPECT_EQ(outcome(code, {"r"}), "r=integer:12::0 ") << body;
    }
    // A body that ends the run returns through the call.
    EXPECT_EQ(outcome("f = {\n compare (arg0 < 2) {\n end arg0\n }\n end 9\n}\nr = ($f$(1) + $f$(3))\n", {"r"}),
              "r=integer:10::0 ");
    // With a builtin's name rebound in the run, the body's own run binds
    // the builtin again in its copy, and the run keeps its rebinding.
    EXPECT_EQ(outcome("f = {\n list typeof\n compare 1 {\n r = $typeof$(a)\n }\n b = $typeof$(a)\n}\n$f\n",
                      {"r", "b"}),
              "r=string:0:integer:0 b=unspecified:0::0 ");
}

// Loop passes share one run: each pass must still start as a new run
// would, with the tables each loop gives its passes.
TEST(LoopPasses, EachPassStartsAfresh) {
    // A name made in one pass is gone in the next; "element" is rebound.
    EXPECT_EQ(outcome("each (\"abc\") {\n compare (made == 1) {\n r += 100\n }\n made = 1\n r += 1\n}\n", {"r"}),
              "error: stoi: unknown name made");
    EXPECT_EQ(outcome("add L 1\nadd L 2\neach (L) {\n x = element\n r += x\n}\ny = element\n", {"r"}),
              "error: stoi: unknown name element");
    EXPECT_EQ(outcome("add L 1\nadd L 2\nadd L 3\neach (L) {\n r += element\n element = 0\n}\nindex L 2 e\n",
                      {"r", "e"}),
              "r=integer:6::0 e=integer:0::0 ");
    // A pass that ends the run ends the loop with its value.
    EXPECT_EQ(outcome("f = {\n each (\"abcd\") {\n compare (element == \"c\") {\n end r\n }\n r += 1\n }\n end 99\n}\n"
                      "q = $f\n",
                      {"q", "r"}),
              "q=integer:2::0 r=integer:2::0 ");
    // Nothing to walk: no pass, no error.
    EXPECT_EQ(outcome("each (\"\") {\n r = nosuch\n}\neach (a) {\n r = nosuch\n}\neach (L) {\n r = nosuch\n}\n", {"r"}),
              "r=integer:0::0 ");
    // A name bound to an earlier element keeps it, in its pass and after.
    EXPECT_EQ(outcome("add L 5\nadd L 6\nadd L 7\nkeep = 0\neach (L) {\n index L 0 y\n y += 1\n}\nindex L 0 z\n", {"z"}),
              "z=integer:8::0 ");
    // A failing pass ends the loop; what it changed in place stays.
    EXPECT_EQ(outcome("each (\"ab\") {\n r += 1\n compare (element == \"b\") {\n r = nosuch\n }\n}\n", {"r"}),
              "error: stoi: unknown name nosuch");
    // The rebinding of a loop-scope name lasts for the rest of the loop.
    EXPECT_EQ(outcome("each (\"abc\") {\n r += 1\n compare (r == 1) {\n list L\n }\n add L 1\n}\n"
                      "each (\"xyz\") {\n list L\n add L r\n}\n",
                      {"L", "r"}),
              "L=list:0::3 r=integer:3::0 ");
}

// A pass's view is renewed when what the last pass bound is dropped: a
// call made before the pass binds anything sees only what it should.
TEST(LoopPasses, APassSeesNothingTheLastPassDropped) {
    const std::string calls = "f = {\n end made\n}\nk = {\n end 0\n}\ng = k\nlist R\n";
    // Pass "a" makes `made` and lets the call see it; in pass "b" it is gone.
    EXPECT_EQ(outcome(calls + "each (\"ab\") {\n add R $g\n made = 1\n add R $f\n g = f\n}\n", {"R"}),
              "error: stoi: unknown name made");
    EXPECT_EQ(outcome(calls + "each (\"ab\") {\n add R $g\n made = 1\n add R $f\n}\n", {"R"}), "R=list:0::4 ");
    // An until pass's rebinding of a loop-scope name is gone in the next pass.
    const std::string sizes = "h = {\n end $size$(L)\n}\nadd L 1\nlist R\n";
    EXPECT_EQ(outcome(sizes + "until (r < 2) {\n add R $h\n r += 1\n list L\n add R $h\n}\n"
                              "index R 0 p\nindex R 1 q\nindex R 2 x\nindex R 3 y\n",
                      {"p", "q", "x", "y"}),
              "p=integer:1::0 q=integer:0::0 x=integer:1::0 y=integer:0::0 ");
}

TEST(LoopPasses, UntilPassesKeepWhatTheyMake) {
    // Names made in a pass reach the next pass; the condition never sees them.
    EXPECT_EQ(outcome("until (r < 3) {\n compare (r > 0) {\n made += 10\n }\n compare (r == 0) {\n made = 0\n }\n"
                      " r += 1\n}\n",
                      {"r", "made"}),
              "r=integer:3::0 made=unbound ");
    EXPECT_EQ(outcome("until (r < 3) {\n made += 1\n r = made\n}\n", {"r"}), "r=integer:3::0 ");
    EXPECT_EQ(outcome("until (r < 3) {\n made = 5\n r += 1\n}\nx = made\n", {"r"}), "error: stoi: unknown name made");
    EXPECT_EQ(outcome("until (made < 3) {\n made += 1\n r += 1\n compare (r > 5) {\n end 0\n }\n}\n", {"r"}),
              "error: stoi: unknown name made");
    // A rebinding of a name the loop scope had lasts to the end of its pass.
    EXPECT_EQ(outcome("until (r < 3) {\n r += 1\n add L r\n list L\n add L 0\n}\n", {"L", "r"}),
              "L=list:0::3 r=integer:3::0 ");
    // A pass that ends the run, and a pass that fails.
    EXPECT_EQ(outcome("f = {\n until (1) {\n r += 1\n compare (r == 4) {\n end (r * 10)\n }\n }\n}\nq = $f\n",
                      {"q", "r"}),
              "q=integer:40::0 r=integer:4::0 ");
    EXPECT_EQ(outcome("until (r < 5) {\n r += 1\n compare (r == 2) {\n x = nosuch\n }\n}\n", {"r"}),
              "error: stoi: unknown name nosuch");
    // A body that is never run is never split.
    EXPECT_EQ(outcome("until (0) \"(\"\nr = 1\n", {"r"}), "r=integer:1::0 ");
}

}  // namespace
}  // namespace vorn
