// The four status lines, each composed into a 40-byte buffer: the window draws
// them, the command line shows the same texts.
#pragma once

const int StatusLineSize = 40;

void ComposeVersionLine(char line[StatusLineSize]);
void ComposeActionLine(char line[StatusLineSize]);
void ComposeBlockLine(char line[StatusLineSize]);
void ComposePhaseLine(char line[StatusLineSize]);

// Lines 2 and 3 (action and block counter) belong on screen only while a
// transfer runs; lines 1 and 4 are always drawn.
bool AreProgressLinesShown();
