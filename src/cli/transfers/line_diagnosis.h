// Why no controller answered on a port that opened: what the probe heard
// tells a silent line, a line that echoes, a line at a wrong speed and a
// device of another kind apart, and each needs a different hand on site.
#pragma once
#include <string>

#include "serial/port_open.h"

enum LineDiagnosis {
    LineSilent = 0,
    LineEchoes,         // our own ESC came back: a loopback plug, an echoing converter
    LineFramingFaults,  // the driver counted faults, or the bytes are what a wrong speed gives
    LineForeignReply,   // an answer, but no identification of a Dm730
};

LineDiagnosis DiagnoseProbe(const PortAttempt& attempt);
// One line: the port, what was heard, the evidence (bytes in hex, the counts).
std::string DiagnosisText(const char* port, const PortAttempt& attempt);
// What to do about it.
const char* DiagnosisHint(LineDiagnosis diagnosis);
// The bytes as "1b 00 f8".
std::string HexBytes(const uint8_t* bytes, unsigned long count);
