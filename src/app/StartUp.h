// Safeguards around the boot script's start-up statements.
#pragma once

namespace vorn {

// From now on, when one of the program's own top-level statements (the
// snapshot, the restore dialogue, the autorun) is abandoned by an error or
// Ctrl-C, the current directory returns to the folder the program is in now,
// and a lib folder that the abandoned statement created (a restore that
// stopped half-way) is removed again, so that the next start offers the
// restore anew instead of snapshotting part of the library over SLB.BUF.
void installStartUpSafeguards();

}  // namespace vorn
