// The trace of a run that failed on the line, written where the technician
// can find it and send it: dm730-trace-<UTC time>.txt in the user's state
// folder, the 20 newest kept.
#pragma once
#include <string>

// How many trace files the state folder keeps, and the most one may hold.
const unsigned KeptTraceFiles = 20;
const unsigned long TraceFileLimit = 64 * 1024;

// What the run is, for the head of a trace: the program's version, the
// system, the command line and the time.
std::string RunHeaderText(int argc, const char* const* argv);
// What the run met, once it has: the port and its adapter, the line's
// settings as the driver holds them (while the port is still open), the
// controller's versions, and what each port of a search that found nothing
// heard.
std::string LineHeaderText();
// The head and the kept exchanges into a new file of the state folder, at
// most TraceFileLimit bytes; the oldest traces beyond KeptTraceFiles go.
// Returns its path, or empty with *problem saying why there is none.
std::string WriteTraceFile(const std::string& header, std::string* problem);
