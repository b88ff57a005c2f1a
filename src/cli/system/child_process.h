// dm730 running itself once per controller: each child has its own process,
// so a hung driver or a failure stays with its port. Their standard output
// and error come back line by line; nothing else is shared.
#pragma once
#include <string>
#include <vector>

// This program's own file, to start it again.
std::string OwnProgramPath();

// Starts program with args (not counting the program itself); its stdin is
// empty. Returns the child's number from 0, or -1 when it could not start.
int StartChild(const std::string& program, const std::vector<std::string>& args);

struct ChildLine {
    int child;
    bool fromError;  // stderr rather than stdout
    // Without its line end, in the program's own texts' encoding (on Windows
    // Windows-1250, from the UTF-8 a child writes into a pipe).
    std::string text;
};
// Waits at most waitMs for output of any child and takes every whole line
// that came. False once every child has ended and all its output is taken.
bool ReadChildLines(std::vector<ChildLine>* lines, unsigned waitMs);
// The exit code of an ended child; -1 while it runs.
int ChildExitCode(int child);
// Asks every child still running to stop as Ctrl-C does.
void InterruptChildren();

// For the systems' files: the whole lines of what a child wrote so far leave
// pending for lines (a CR before the line end dropped); at its end, the rest too.
void TakeChildLines(std::string* pending, int child, bool fromError, std::vector<ChildLine>* lines,
                    bool atEnd);
