// runBlock: entry, the statement loop with its kind trim, and the write-back.
#include "exec/Run.h"

#include "builtins/BuiltinTable.h"
#include "exec/Trim.h"
#include "values/Depth.h"

namespace vorn {

ValueRef Run::findName(std::string_view name, std::uint64_t hash) const {
    ValueRef v = inherited.find(name, hash);
    if (!v) v = local.find(name, hash);
    return v;
}

void Run::bindName(std::string_view name, std::uint64_t hash, ValueRef value) {
    noteBinding(value, name);
    if (inherited.find(name, hash)) inherited.set(name, hash, std::move(value));
    else local.set(name, hash, std::move(value));
    tablesChanged();
}

ValueRef Run::assignTarget(std::string_view name, std::uint64_t hash) {
    if (ValueRef v = inherited.find(name, hash)) return v;
    if (ValueRef v = local.find(name, hash)) return v;
    ValueRef fresh = newValue();
    local.set(name, hash, fresh);
    tablesChanged();
    return fresh;
}

BlockResult runBlock(const Block& block, Scope* inheritedScope, Scope* localScope) {
    DepthGuard depth;
    Run run;
    if (inheritedScope) run.inherited = *inheritedScope;
    bindBuiltins(run.inherited);
    if (localScope) run.local = *localScope;

    for (const PreparedStatement& statement : block.statements) {
        trimVisible(run.view());
        if (statement.kind == StatementKind::Empty) continue;
        executeStatement(run, statement);
        if (run.returned) break;
    }

    BlockResult result{std::move(run.returnValue), run.returned};
    if (inheritedScope) *inheritedScope = run.inherited;
    if (localScope) *localScope = run.local;
    return result;
}

}  // namespace vorn
