// Scaffolds: the class statement, member assignment, delete, and the
// building of an object from the names a body created.
#pragma once

#include "exec/Run.h"

namespace vorn {

// A new scaffold whose members are the entries of members plus "origin";
// its function members become methods bound to it.
ValueRef buildObject(const Scope& members, const ValueRef& origin);

void executeClass(Run& run, const PreparedStatement& statement);
void executeMemberAssign(Run& run, const PreparedStatement& statement);
void executeDelete(Run& run, const PreparedStatement& statement);

}  // namespace vorn
