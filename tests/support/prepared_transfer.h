// A transfer as its start leaves it, without the dialog and the file checks.
#pragma once
#include <string>

// The job's action and kind, the file opened as the start opens it (a stream
// left open by a stopped transfer is closed first), the region's blocks and
// the identification request in the frame area. The caller sends it.
void PrepareTransfer(int action, int kind, const std::string& path);
// The same, and the identification request sent: phase 1, as a start that
// succeeded leaves it. False when the write could not be started.
bool BeginPreparedTransfer(int action, int kind, const std::string& path);

// Every field as at program start: both streams closed, versions "N/A".
void ResetTransferJob();
