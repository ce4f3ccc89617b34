// Arbitrary bytes evaluated as one expression, with inline blocks on, in a
// scope holding a variable of every kind, so that each operator and
// conversion meets each pair of kinds.
//
// The variables are made afresh for every input by running a small program:
// an expression may change them in place (inline blocks run statements), and
// each input must be reproducible on its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Sandbox.h"
#include "exec/Run.h"
#include "exec/Run.h"
#include "exec/View.h"
#include "expr/Evaluator.h"
#include "parse/Code.h"
#include "values/Limits.h"

namespace {

// One name per kind (and a few that sit at the edges of a kind): s, e, q, i,
// z, big, neg, f, nf, fn, g, l, nest, b, P (the class), p (an object),
// c (a builtin), u (unspecified) and w (wiped).
constexpr std::string_view kSetup = R"VORN(s = "text with blanks"
e = ""
q = "12.5e1"
i = 42
z = 0
big = (2147483647 * 2147483647)
neg = (0 - 7)
f = 2.5
nf = (0.0 - 0.125)
fn = { end (arg0 + 1) }
g = { x = arg0
end (x * 2) }
list l
add l 1
add l "two"
add l 3.5
list nest
add nest l
add nest s
b = $bytes$("bytes")
class P {
x = 1
name = "p"
get = { end (self -> "x") }
}
p = $P
(p x) = 7
c = size
u = $
w = 1
delete w
)VORN";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::fuzz::enterSandbox();
    vorn::fuzz::resetForInput();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto body = [text] {
        vorn::Scope inherited;
        vorn::Scope local;
        // The setup spends statements too; it must never run out.
        vorn::fuzz::sandbox().setStatementBudget(0);
        vorn::runBlock(vorn::fuzz::sandbox(), *vorn::prepareBlock(kSetup), &inherited, &local);
        vorn::fuzz::sandbox().setStatementBudget(vorn::fuzz::kStatementBudget);
        if (!local.find("w") || !local.find("p")) std::abort();
        // The expression sees the two tables the setup left, the inherited
        // one winning, as a statement of that run would.
        vorn::Interpreter& interpreter = vorn::fuzz::sandbox();
        vorn::Bindings& bindings = interpreter.bindings();
        const vorn::BindingMark mark(bindings);
        const vorn::BindingBarrier barrier(bindings);
        local.forEachBinding([&](const vorn::SymbolRef& n, const vorn::ValueRef& v) {
            bindings.push(n, v, vorn::Table::Local);
        });
        inherited.forEachBinding([&](const vorn::SymbolRef& n, const vorn::ValueRef& v) {
            bindings.push(n, v, vorn::Table::Inherited);
        });
        vorn::fuzz::endsAsScriptsMay(
            [&] { vorn::evaluateExpression(text, interpreter.view(), vorn::InlineBlocks::On); });
    };
    vorn::fuzz::runDeep(body);
    return 0;
}
