// The one open-file dialog record of the program, over the buffers that the
// transfer start rewrites for every transfer.
#include <cstring>

#include "app/shell.h"
#include "operator/operator.h"
#include "protocol/io_buffer.h"
#include "transfer/start.h"

OPENFILENAMEA FileDialogSetup;

// The owner is entered once the main window exists.
void FillFileDialogSetup() {
    std::memset(&FileDialogSetup, 0, sizeof FileDialogSetup);
    FileDialogSetup.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    FileDialogSetup.hwndOwner = MainWindow;
    FileDialogSetup.hInstance = ProgramInstance;
    FileDialogSetup.lpstrFilter = DialogFilter;
    FileDialogSetup.nFilterIndex = 1;
    FileDialogSetup.lpstrFile = DialogFileName;
    FileDialogSetup.nMaxFile = sizeof DialogFileName;
    FileDialogSetup.lpstrTitle = DialogTitle;
    FileDialogSetup.lpstrDefExt = IoBuffer.defaultExtension;
}

// Flags are replaced before every dialog, so an output bit is only ever read
// right after the dialog that set it.
FileChoice ShowFileDialog(unsigned long flags, unsigned long* flagsOut, unsigned* extensionOffset) {
    FileDialogSetup.Flags = flags;
    if (!GetOpenFileNameA(&FileDialogSetup)) return FileNotChosen;
    *flagsOut = FileDialogSetup.Flags;
    *extensionOffset = FileDialogSetup.nFileExtension;
    return FileChosen;
}
