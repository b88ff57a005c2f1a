// The four status lines, each composed into a 40-byte buffer.
#pragma once

const int StatusLineSize = 40;

void ComposeVersionLine(char line[StatusLineSize]);
void ComposeActionLine(char line[StatusLineSize]);
void ComposeBlockLine(char line[StatusLineSize]);
void ComposePhaseLine(char line[StatusLineSize]);
