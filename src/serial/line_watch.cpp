#include "serial/line_watch.h"

namespace {

LineWatcher Watcher = nullptr;

}  // namespace

void WatchLineWith(LineWatcher watcher) { Watcher = watcher; }

void NoteLineBytes(LineDirection direction, const uint8_t* bytes, unsigned long count,
                   unsigned long requested) {
    if (Watcher != nullptr) Watcher(direction, bytes, count, requested);
}
