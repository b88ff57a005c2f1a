// The last exchanges on the line, kept in memory as they happen, for the
// person who helps when a job fails on site: when, which way, what it was
// (a read command for block 8 of 512, an ACK, silence) and its bytes.
// Keeping them costs a copy of at most 32 bytes per exchange; they are
// turned into text only when asked for.
#pragma once
#include <cstdio>
#include <string>

#include "serial/line_watch.h"

// How many exchanges are kept.
const unsigned TraceDepth = 64;

// Starts watching the line; every exchange from now on is kept (the last
// TraceDepth of them), and with everyTo also written to that file as it
// happens, one line each.
void StartLineTrace(std::FILE* everyTo);
void StopLineTrace();
// Someone else who wants to see every exchange as well (the line test); null: nobody.
void AlsoTellLine(LineWatcher listener);
// The kept exchanges as text, oldest first, one line each, with a line
// before them saying how many there were in all.
std::string KeptExchangesText();
// How many exchanges there were since the start.
unsigned long ExchangeCount();
