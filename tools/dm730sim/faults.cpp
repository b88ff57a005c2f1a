// Faults injected on request, so the PC's failure paths can be provoked on a
// real line. Block faults fire every time their block comes up.
#include "sim.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

FaultSetup Faults;

// Decimal, or hexadecimal with 0x; the whole text must be the number.
int ParseNumber(const char* text, long low, long high, long* out) {
    if (text == nullptr || *text == '\0') return -2;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
        if (*text == '\0') return -2;
    }
    if (*text == '-' || *text == '+') return -2;
    errno = 0;
    char* end = nullptr;
    long v = strtol(text, &end, base);
    if (errno != 0 || *end != '\0' || v < low || v > high) return -2;
    *out = v;
    return 0;
}

namespace {

// "BLOCK" or "BLOCK:VALUE"; VALUE falls back to defaultValue when absent
// (a negative default makes it required).
int ParseBlockValue(const char* text, long valueLow, long valueHigh, int defaultValue,
                    FaultRule* rule) {
    std::string s = text ? text : "";
    size_t colon = s.find(':');
    long block = 0;
    if (ParseNumber(s.substr(0, colon).c_str(), 0, 65535, &block) != 0) return -2;
    long value = defaultValue;
    if (colon != std::string::npos) {
        if (ParseNumber(s.c_str() + colon + 1, valueLow, valueHigh, &value) != 0) return -2;
    } else if (defaultValue < 0) {
        return -2;
    }
    rule->block = (int)block;
    rule->value = (int)value;
    return 0;
}

struct BlockFaultOption {
    const char* name;
    int kind;
    long valueLow, valueHigh;
    int defaultValue;  // -1: BLOCK:VALUE required; 0 with high 0: no value
};

const BlockFaultOption BlockFaultOptions[] = {
    {"--nak-command", FaultNakCommand, 0, 0, 0},
    {"--status-byte", FaultStatusByte, 0, 255, -1},
    {"--nak-block", FaultNakBlock, 0, 0, 0},
    {"--block-status", FaultBlockStatus, 0, 255, -1},
    {"--bad-checksum", FaultBadChecksum, 1, 255, 1},
    {"--short-frame", FaultShortFrame, 0, 256, 200},
    {"--noise", FaultNoise, 0, 255, 0x06},
    {"--store-changed", FaultStoreChanged, 1, 255, 0x01},
    {"--late-answer", FaultLateAnswer, 1, 60000, 250},
};

int Refuse(const std::string& name, const char* value) {
    fprintf(stderr, "dm730sim: bad value for %s: %s\n", name.c_str(), value ? value : "(none)");
    return -2;
}

}  // namespace

int ParseFaultOption(const std::string& name, const char* value) {
    for (const BlockFaultOption& o : BlockFaultOptions) {
        if (name != o.name) continue;
        if (value == nullptr) return 2;
        FaultRule rule{o.kind, 0, 0};
        if (ParseBlockValue(value, o.valueLow, o.valueHigh, o.defaultValue, &rule) != 0)
            return Refuse(name, value);
        if (o.valueHigh == 0 && std::string(value).find(':') != std::string::npos)
            return Refuse(name, value);
        Faults.rules.push_back(rule);
        return 0;
    }
    if (name == "--ident-nak" || name == "--ident-silent") {
        if (value != nullptr) return Refuse(name, value);
        if (name == "--ident-nak")
            Faults.identNak = true;
        else
            Faults.identSilent = true;
        return 0;
    }
    if (name == "--echo" || name == "--garbage") {
        if (value != nullptr) return Refuse(name, value);
        Faults.otherLine = name == "--echo" ? LineEcho : LineGarbage;
        return 0;
    }
    if (name == "--wrong-speed") {
        // Optional value only in the --name=VALUE form.
        if (value != nullptr && ParseNumber(value, 300, 921600, &Faults.otherBaud) != 0)
            return Refuse(name, value);
        if (Faults.otherBaud == 38400) return Refuse(name, value);
        Faults.otherLine = LineWrongSpeed;
        return 0;
    }
    if (name == "--bad-ident-checksum") {
        // Optional value only in the --name=VALUE form.
        long sum = 1;
        if (value != nullptr && ParseNumber(value, 1, 255, &sum) != 0) return Refuse(name, value);
        Faults.identChecksum = (int)sum;
        return 0;
    }

    if (name == "--noise-rate") {
        if (value == nullptr) return 2;
        char* end = nullptr;
        double rate = std::strtod(value, &end);
        if (*value == '\0' || *end != '\0' || !(rate >= 0 && rate <= 1)) return Refuse(name, value);
        Faults.noiseRate = rate;
        return 0;
    }
    if (name == "--pause-every") {
        if (value == nullptr) return 2;
        std::string s = value;
        size_t colon = s.find(':');
        long every = 0, ms = 0;
        if (colon == std::string::npos ||
            ParseNumber(s.substr(0, colon).c_str(), 1, 1000000000L, &every) != 0 ||
            ParseNumber(s.c_str() + colon + 1, 1, 3600000L, &ms) != 0)
            return Refuse(name, value);
        Faults.pauseEvery = every;
        Faults.pauseMs = ms;
        return 0;
    }
    long n = 0;
    if (name == "--seed") {
        if (value == nullptr) return 2;
        if (ParseNumber(value, 0, 2147483647L, &n) != 0) return Refuse(name, value);
        Faults.seed = (unsigned long)n;
        return 0;
    }
    if (name == "--ident-status" || name == "--ident-faults-after" || name == "--silent-after" ||
        name == "--hangup-after") {
        if (value == nullptr) return 2;
        long high = name == "--ident-status" ? 255 : 1000000000L;
        if (ParseNumber(value, 0, high, &n) != 0) return Refuse(name, value);
        if (name == "--ident-status")
            Faults.identStatus = (int)n;
        else if (name == "--ident-faults-after")
            Faults.identFaultsAfter = n;
        else if (name == "--silent-after")
            Faults.silentAfter = n;
        else
            Faults.hangupAfter = n;
        return 0;
    }
    return 1;
}

const FaultRule* FindFault(int kind, int block) {
    for (const FaultRule& r : Faults.rules)
        if (r.kind == kind && r.block == block) return &r;
    return nullptr;
}

// identNumber counts identification requests from 1.
bool IdentFaultsActive(long identNumber) { return identNumber > Faults.identFaultsAfter; }
