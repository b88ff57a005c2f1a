// A lock on a file, held until the process ends: the system lets go of it
// when the process ends, however it ends, so a killed run never leaves a
// lock behind.
#pragma once
#include <string>

enum LockOutcome {
    LockTaken = 0,
    LockHeldElsewhere = 1,  // another process holds it
    LockImpossible = 2,     // the lock file can neither be made nor opened (a read-only folder)
};

// exclusive: no other holder at all; otherwise other shared holders only.
// The lock file is made when missing and stays.
LockOutcome LockForRun(const std::string& path, bool exclusive);
