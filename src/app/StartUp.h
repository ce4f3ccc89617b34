// Safeguards around the boot script's start-up statements.
#pragma once

namespace vorn {

// From now on the restore dialogue fills lib under a name of its own and
// puts it in place only when its statement has ended normally, so that a
// restore cut short however it was (an error, Ctrl-C, a signal, a power
// loss) leaves no part of lib for the next start to snapshot over SLB.BUF;
// that start offers the restore anew. When one of the program's own
// top-level statements (the snapshot, the restore dialogue, the autorun) is
// abandoned by an error or Ctrl-C, the current directory returns to the
// folder the program is in now, and a lib folder that the abandoned statement
// created is removed again.
void installStartUpSafeguards();

}  // namespace vorn
