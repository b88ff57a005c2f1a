// Turning the operator's action and data kind into a running transfer.
#pragma once

// The buffers of the open-file dialog record; the file name is never cleared,
// so the dialog and the repeat command always find the last chosen path.
extern char DialogTitle[35];
extern char DialogFileName[260];
extern char DialogFilter[40];

// 0 running; -1 refused or failed (or dialog cancelled); -2 action or kind out
// of range; -3 operator declined or file missing.
int StartTransfer();

// The repeat command: the last file, the current action and data kind.
void RepeatTransfer();
