// selvo-bench: the measurements of tools/bench.sh that need native code.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench.h"

namespace {

const char UsageText[] =
    "Usage: selvo-bench engine [BLOCKS]\n"
    "       selvo-bench paced-write PORT_DIR FILE\n"
    "       selvo-bench detect [PORTS]\n"
    "       selvo-bench bare-client TTY FILE\n"
    "Run by tools/bench.sh; each prints its figures as \"name value\" lines.\n";

unsigned CountArgument(const char* text, unsigned fallback, unsigned high) {
    if (text == nullptr) return fallback;
    char* end = nullptr;
    unsigned long n = std::strtoul(text, &end, 10);
    return *end == '\0' && n > 0 && n <= high ? unsigned(n) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* command = argc > 1 ? argv[1] : "";
    const char* first = argc > 2 ? argv[2] : nullptr;
    const char* second = argc > 3 ? argv[3] : nullptr;
    if (!std::strcmp(command, "engine") && argc <= 3) {
        unsigned blocks = CountArgument(first, 3200, 3200);
        if (blocks) return RunEngineSpeed(blocks);
    } else if (!std::strcmp(command, "paced-write") && argc == 4) {
        return RunPacedWrite(first, second);
    } else if (!std::strcmp(command, "detect") && argc <= 3) {
        unsigned ports = CountArgument(first, 4, 9);
        if (ports) return RunSilentDetection(ports);
    } else if (!std::strcmp(command, "bare-client") && argc == 4) {
        return RunBareClient(first, second);
    }
    std::fputs(UsageText, stderr);
    return 2;
}
