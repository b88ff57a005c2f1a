// Everything dm730 prints goes through here, so the texts of the program
// (Windows-1250) reach a terminal, a Windows console or a file readable.
#pragma once
#include <string>

#include "cli/console/messages.h"

enum ConsoleStream { ConsoleOut = 1, ConsoleError = 2 };

// The text as it is, no line end added.
void PrintText(int stream, const char* text);
// With --json stdout carries the events alone: what the program would print
// there for a person goes to stderr.
void KeepStdoutForEvents();
// The stream a text for stream really goes to.
int RoutedStream(int stream);
// A line of events as it is (ASCII), straight to stdout.
void PrintEventLine(const std::string& line);
// A printf format and its values, then a line end.
__attribute__((format(printf, 2, 3))) void PrintLine(int stream, const char* format, ...);
// A message of the table in the program's language, with its values, then a line end.
void PrintMessage(int stream, MessageId id, ...);
// A terminal or a console window, as opposed to a file or a pipe.
bool IsConsoleTerminal(int stream);
// Characters a line of the terminal holds; 80 when it cannot be told.
int ConsoleWidth(int stream);
// On a terminal: the cursor goes up over the last `lines` lines, each cleared,
// so that what is printed next takes their place.
void EraseLinesAbove(int stream, int lines);

// The system's reason on a line of its own under a message that names what
// failed: "  (reason)". code: errno, or GetLastError() on Windows.
void ShowSystemReason(unsigned long code);
// A file and the reason the C library gave for its failure (errno, on every
// system), under a message that does not name it: "  (plik PATH : reason)",
// or "  (plik PATH)" without one.
void ShowFileReason(const char* path, int error);
