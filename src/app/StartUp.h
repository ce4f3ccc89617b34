// Safeguards around the boot script's start-up statements.
#pragma once

#include <string>

#include "exec/Interpreter.h"

namespace vorn {

// Put around the program's own top-level statements (Interpreter::hooks),
// the restore dialogue fills lib under a name of its own and puts it in
// place only when its statement has ended normally, so that a restore cut
// short however it was (an error, Ctrl-C, a signal, a power loss) leaves no
// part of lib for the next start to snapshot over SLB.BUF; that start offers
// the restore anew. When one of the program's own top-level statements (the
// snapshot, the restore dialogue, the autorun) is abandoned by an error or
// Ctrl-C, the current directory returns to the folder the program was
// started in, and a lib folder that the abandoned statement created is
// removed again.
class StartUpSafeguards final : public StatementHooks {
public:
    // Remembers the current directory as the start folder.
    StartUpSafeguards();
    void before(StatementKind kind) override;
    void abandoned() override;

private:
    std::string stagedLibrary() const;
    std::string library() const;
    bool endStaging();
    void commitRestore();
    void stageRestore();

    std::string startFolder_;
    bool libraryExisted_ = true;
    int comparesSeen_ = 0;
    bool restoreStaged_ = false;
};

}  // namespace vorn
