#include "cli/console/progress_board.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "cli/console/console_output.h"

namespace {

using Clock = std::chrono::steady_clock;

// Redrawn more often than this, the lines only flicker.
const double DrawInterval = 0.1;

struct BoardRecord {
    bool on = false;
    std::vector<std::string> lines;
    int drawnLines = 0;  // on screen now, under the cursor's line
    Clock::time_point drawn;
};
BoardRecord Board;

void Erase() {
    EraseLinesAbove(ConsoleError, Board.drawnLines);
    Board.drawnLines = 0;
}

}  // namespace

void BeginBoard(size_t lines) {
    Board = BoardRecord();
    Board.on = true;
    Board.lines.assign(lines, std::string());
    DrawBoard();
}

void SetBoardLine(size_t index, const std::string& text) {
    if (!Board.on || index >= Board.lines.size()) return;
    Board.lines[index] = text;
    if (std::chrono::duration<double>(Clock::now() - Board.drawn).count() >= DrawInterval)
        DrawBoard();
}

void DrawBoard() {
    if (!Board.on) return;
    Erase();
    // One character a byte in Windows-1250: cut to the terminal, so no line wraps
    // and the count of lines to go back over stays true.
    size_t width = size_t(std::max(ConsoleWidth(ConsoleError) - 1, 1));
    std::string text;
    for (const std::string& line : Board.lines)
        text += line.substr(0, std::min(line.size(), width)) + "\n";
    PrintText(ConsoleError, text.c_str());
    Board.drawnLines = int(Board.lines.size());
    Board.drawn = Clock::now();
}

void PrintAboveBoard(int stream, const std::string& text) {
    if (!Board.on) {
        PrintText(stream, (text + "\n").c_str());
        return;
    }
    Erase();
    PrintText(stream, (text + "\n").c_str());
    DrawBoard();
}

void EndBoard() {
    if (!Board.on) return;
    DrawBoard();
    Board = BoardRecord();
}
