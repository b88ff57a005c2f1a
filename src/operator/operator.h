// What the core shows the operator and asks of them. The core declares it and
// never reaches past it; each program links one front end that implements all
// of it: the window, the command line, or the tests' recorder.
#pragma once

#include "operator/failure.h"

// Message box styles and answers carry the Win32 values, so the window passes
// them through unchanged; any other front end reads the buttons with
// BoxButtonsMask and the icon with BoxIconMask.
const unsigned BoxOk = 0x0;
const unsigned BoxYesNo = 0x4;
const unsigned BoxButtonsMask = 0xF;
const unsigned BoxIconMask = 0xF0;
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

// Modal: nothing else goes on until the operator answers; returns the button.
// For questions and notices; a failure goes through ReportFailure.
int ShowMessageBox(const char* text, const char* caption, unsigned style);

// A failure, shown as its box (text, caption, style) where there are boxes.
// The kind says what failed; a front end decides by it, never by the text.
void ReportFailure(const Failure& failure, const char* text, const char* caption, unsigned style);

// A byte the verification found different: the block as the question counts
// it (the absolute block number from 1), the position in that block, the
// byte's offset in the file, and the two bytes. Past the file's end the
// file's byte is the zero fill the write would have sent there.
struct VerifyDifference {
    unsigned block;
    int position;
    unsigned long fileOffset;
    unsigned fileByte;
    unsigned deviceByte;
    bool beyondFile;
};
// The box the window asks its verification question in.
const unsigned VerifyQuestionStyle = BoxYesNo | BoxIconQuestion | BoxDefaultSecond;
// Asks whether to go on after a difference: AnswerYes compares on, any other
// answer stops the verify. question is the composed text, for a front end that
// shows it under CaptionWarning with VerifyQuestionStyle; a front end without
// boxes takes the values instead of reading them back out of the text.
int AskAboutDifference(const VerifyDifference& difference, const char* question);

// What changed on the status display: everything, the progress (status lines
// 2 and 3) or the phase (line 4).
void RepaintWindow();
void RepaintProgress();
void RepaintPhase();

// Port portIndex of the port table is in use (checked) or no longer.
void SetPortMark(int portIndex, bool checked);

// The repeat command becomes available for the rest of the run.
void EnableRepeatItem();

// The open-file dialog over the dialog buffers of the transfer start, with
// these flags (the Win32 ones). FileChosen when a file was chosen: then its path
// is in the file-name buffer, *flagsOut holds the returned flags and
// *extensionOffset the offset of the extension in the path. A front end with no
// dialog returns FileNotChosen and starts its transfers with a given file.
// As every outcome of the program: 0 is the one that goes on.
enum FileChoice { FileChosen = 0, FileNotChosen = 1 };
FileChoice ShowFileDialog(unsigned long flags, unsigned long* flagsOut, unsigned* extensionOffset);
