// The port table itself: sorting and filtering whatever the system enumerated,
// so both backends only have to hand over their records.
#include "serial/port_table.h"

#include <cstdlib>
#include <cstring>

PortSlot* PortTable = nullptr;

namespace {

// The names a front end gave; the table is not used while there are any.
std::vector<std::string> NamedPorts;

int FoldPortNameByte(const char* p) {
    // Signed on purpose: bytes above 0x7F sort before everything else.
    int c = static_cast<signed char>(*p);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    return c;
}

}  // namespace

int ComparePortNames(const void* a, const void* b) {
    const char* x = static_cast<const PortRecord*>(a)->pName;
    const char* y = static_cast<const PortRecord*>(b)->pName;
    // A record without a name sorts as an empty name rather than crashing the start.
    if (x == nullptr) x = "";
    if (y == nullptr) y = "";
    for (;; ++x, ++y) {
        int cx = FoldPortNameByte(x);
        int cy = FoldPortNameByte(y);
        if (cx != cy) return cx - cy;
        if (cx == 0) return 0;
    }
}

namespace {

void AllocatePortTable(unsigned long slots) {
    FreePortTable();
    PortTable = new PortSlot[slots]();
}

}  // namespace

void FillPortTable(PortRecord* records, unsigned long count) {
    AllocatePortTable(count + 1);
    if (count == 0) return;
    std::qsort(records, count, sizeof(PortRecord), ComparePortNames);
    unsigned long used = 0;
    for (unsigned long i = 0; i < count; ++i) {
        const char* name = records[i].pName;
        if (name == nullptr || std::strncmp(name, "COM", 3) != 0) continue;
        std::strncpy(PortTable[used], name, sizeof(PortSlot) - 1);
        PortTable[used][sizeof(PortSlot) - 1] = '\0';
        ++used;
    }
}

void UseFallbackPortTable() {
    AllocatePortTable(3);
    std::strcpy(PortTable[0], "COM1");
    std::strcpy(PortTable[1], "COM2");
}

void FreePortTable() {
    delete[] PortTable;
    PortTable = nullptr;
    NamedPorts.clear();
}

bool IsPortTableEmpty() { return ListedPortName(0) == nullptr; }

void UseNamedPorts(const std::vector<std::string>& names) {
    AllocatePortTable(1);
    NamedPorts = names;
}

const char* ListedPortName(int index) {
    if (index < 0) return nullptr;
    if (!NamedPorts.empty())
        return size_t(index) < NamedPorts.size() ? NamedPorts[size_t(index)].c_str() : nullptr;
    if (PortTable == nullptr) return nullptr;
    for (int i = 0; i <= index; ++i)
        if (PortTable[i][0] == '\0') return nullptr;
    return PortTable[index];
}
