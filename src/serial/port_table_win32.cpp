// The port list from the print spooler, loaded at run time so that the program
// still starts on a system without it.
#include "serial/port_table.h"

#include <windows.h>
#include <winspool.h>

static_assert(sizeof(PortRecord) == sizeof(PORT_INFO_1A),
              "PortRecord must match the spooler's record");

typedef BOOL(WINAPI* EnumPortsProc)(LPSTR server, DWORD level, LPBYTE buffer, DWORD size,
                                    LPDWORD needed, LPDWORD returned);

void BuildPortTable() {
    FreePortTable();
    // The spooler's client module is WINSPOOL.DRV; the old name is tried first
    // but exists neither on current Windows nor under Wine, and without the
    // second try every USB adapter (COM3 and up) would stay hidden.
    HMODULE spooler = LoadLibraryA("WINSPOOL.DLL");
    if (spooler == NULL) spooler = LoadLibraryA("WINSPOOL.DRV");
    if (spooler == NULL) {
        UseFallbackPortTable();
        return;
    }
    FARPROC entry = GetProcAddress(spooler, "EnumPortsA");
    if (entry == NULL) {
        FillPortTable(NULL, 0);
    } else {
        EnumPortsProc enumPorts =
            reinterpret_cast<EnumPortsProc>(reinterpret_cast<void (*)()>(entry));
        DWORD needed = 0;
        DWORD returned = 0;
        enumPorts(NULL, 1, NULL, 0, &needed, &returned);
        BYTE* buffer = new BYTE[needed ? needed : 1];
        // A failed second call may leave the count untouched: then no record counts.
        returned = 0;
        enumPorts(NULL, 1, buffer, needed, &needed, &returned);
        FillPortTable(reinterpret_cast<PortRecord*>(buffer), returned);
        delete[] buffer;
    }
    FreeLibrary(spooler);
}
