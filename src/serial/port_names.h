// What a port is called. Whatever a user or the system calls a port becomes
// the name we keep, list, show and compare (COM3 on Windows; the device's path
// on Linux: /dev/ttyUSB0, or a simulated port's link in the port folder), and
// a kept name becomes what the system opens. Nothing else takes a port's name
// apart.
#pragma once
#include <string>
#include <vector>

// "\\.\COM3:" as "COM3:", "COM3" as "COM3": the device namespace's prefix
// and the spooler's trailing colon go, nothing else changes.
std::string BarePortName(const std::string& name);

// "com3", "COM3:", "\\.\COM3" as "COM3" on Windows. On Linux a path stays as
// given; a bare name is a link in the port folder (SELVO_PORT_DIR) or a
// device in /dev, matched in either case of letters when no entry has that
// exact name ("ttyusb0" is /dev/ttyUSB0, "COM2" the link com2). Empty for a
// name that can name no port.
std::string KeptPortName(const std::string& given);
// The name the system opens a port by: \\.\COM3 on Windows (the only form
// that reaches COM10 and above), the device's path on Linux.
std::string SystemPortPath(const std::string& name);

// Linux: the folder of simulated ports named by SELVO_PORT_DIR, where the
// links com1, com2, ... stand for COM ports as Wine maps them; empty when the
// variable is unset or empty. Read here only, at each call, so the tests can
// point it elsewhere.
std::string SimulatedPortFolder();
// The names of the links in that folder, in the folder's order; false when
// there is no such folder or it cannot be read.
bool ReadSimulatedPortLinks(std::vector<std::string>* links);
