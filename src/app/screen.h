// What the logic shows the operator and asks of the window. The Win32 shell
// implements it over the main window; tests implement it with a recorder.
#pragma once

// Message box styles and answers carry the Win32 values, so the shell passes
// them through unchanged.
const unsigned BoxOk = 0x0;
const unsigned BoxYesNo = 0x4;
const unsigned BoxIconError = 0x10;
const unsigned BoxIconQuestion = 0x20;
const unsigned BoxIconWarning = 0x30;
const unsigned BoxIconInformation = 0x40;
const unsigned BoxDefaultSecond = 0x100;
const int AnswerOk = 1;
const int AnswerYes = 6;
const int AnswerNo = 7;

// The two captions every part of the program reports under.
inline constexpr char CaptionWarning[] = "Ostrzeżenie";
inline constexpr char CaptionFailure[] = "Niepowodzenie";

// Modal, owned by the main window (none before it exists); returns the button.
int ShowMessageBox(const char* text, const char* caption, unsigned style);

// Invalidate with erase: the whole client area, the progress rectangle
// (status lines 2 and 3) or the phase rectangle (line 4).
void RepaintWindow();
void RepaintProgress();
void RepaintPhase();

// Check mark of the port menu item at this position (0 is "&Auto").
void SetPortMark(int position, bool checked);

// "P&owtórz" becomes clickable for the rest of the run.
void EnableRepeatItem();

// The open-file dialog over the dialog buffers of the transfer start, with
// these flags. Non-zero when a file was chosen; then *flagsOut holds the
// returned flags and *extensionOffset the offset of the extension in the name.
int ShowFileDialog(unsigned long flags, unsigned long* flagsOut, unsigned* extensionOffset);
