// The COM ports the operator can choose, in 8-byte slots ending with an empty
// one, and the ports the detection walks.
#pragma once
#include <string>
#include <vector>

typedef char PortSlot[8];
extern PortSlot* PortTable;

// Layout of the spooler's level-1 port record: one pointer to the name.
struct PortRecord {
    char* pName;
};

// qsort comparator over two PortRecords: names compared byte by byte as
// signed chars with a..z folded to A..Z.
int ComparePortNames(const void* a, const void* b);

// Sorts every record, then keeps the names starting with "COM" (cut to 7).
void FillPortTable(PortRecord* records, unsigned long count);
void UseFallbackPortTable();
void BuildPortTable();
void FreePortTable();
bool IsPortTableEmpty();

// A front end that names its ports itself (dm730: whole names of any length,
// such as /dev/ttyUSB0) lists them here instead of the table; the next
// FillPortTable, fallback or build goes back to the table.
void UseNamedPorts(const std::vector<std::string>& names);
// Port index as the detection and OpenPort know it: the named port, or the
// table's slot; null past the last.
const char* ListedPortName(int index);
