// The progress of several controllers on a terminal: one line for each port,
// redrawn in place under whatever was printed before, with every message
// printed above the lines as it comes.
#pragma once
#include <cstddef>
#include <string>

// lines: one per port, all empty until set.
void BeginBoard(size_t lines);
// The line of one port; drawn with the others at most ten times a second.
void SetBoardLine(size_t index, const std::string& text);
// The lines as they stand now, whatever the time.
void DrawBoard();
// A message line (a printf-free text) above the board, which is then drawn again below it.
void PrintAboveBoard(int stream, const std::string& text);
// The board drawn a last time, left on screen above what follows.
void EndBoard();
