// What crossed the line, for a front end that keeps a record of it (dm730's
// trace of the last exchanges). The channel tells every byte it sends and
// every read it ends; with no watcher set (the window) that costs one test.
#pragma once
#include <cstdint>

enum LineDirection { LineOut = 0, LineIn = 1 };

// bytes: what went out, or what a read took (count of requested; fewer, or
// none, when the port's timeouts ended it).
typedef void (*LineWatcher)(LineDirection direction, const uint8_t* bytes, unsigned long count,
                            unsigned long requested);
// Null: nobody watches.
void WatchLineWith(LineWatcher watcher);
// For the channel backends.
void NoteLineBytes(LineDirection direction, const uint8_t* bytes, unsigned long count,
                   unsigned long requested);
