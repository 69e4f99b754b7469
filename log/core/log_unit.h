#pragma once

#include "log/core/log_interfaces.h"

namespace zel {

// Ends a log tree: stops `root` (its footer and every storage's final write), then releases the
// storages of every group, the entries, the contexts and the crash list's storage references,
// so that nothing of the tree keeps another part alive. For the process-wide root TLogUnit does
// this; a program or test with a root of its own calls it at the end.
void release_log_tree(ILogRoot& root);

// The logging unit's start-up and shutdown, one object in the program's main (tests make their
// own). Creating it reads the process facts that events use. Ending it (or calling shutdown,
// which runs once per object) stops taking exceptions, then stops default_log_root (its footer
// and every storage's final write), releases every storage of the tree, the tree itself, the
// contexts and the crash list's storages, and finally the root: afterwards no log object is
// left alive by the logging framework.
class TLogUnit {
public:
    TLogUnit();
    ~TLogUnit();
    TLogUnit(const TLogUnit&) = delete;
    TLogUnit& operator=(const TLogUnit&) = delete;

    void shutdown();

private:
    bool Fdone = false;
};

} // namespace zel
