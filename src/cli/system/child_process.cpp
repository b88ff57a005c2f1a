#include "cli/system/child_process.h"

void TakeChildLines(std::string* pending, int child, bool fromError, std::vector<ChildLine>* lines,
                    bool atEnd) {
    size_t start = 0;
    for (size_t end; (end = pending->find('\n', start)) != std::string::npos; start = end + 1) {
        size_t stop = end > start && (*pending)[end - 1] == '\r' ? end - 1 : end;
        lines->push_back(ChildLine{child, fromError, pending->substr(start, stop - start)});
    }
    pending->erase(0, start);
    if (atEnd && !pending->empty()) {
        lines->push_back(ChildLine{child, fromError, *pending});
        pending->clear();
    }
}
