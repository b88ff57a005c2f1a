// The native side of tools/bench.sh: each command runs one measurement and
// prints its figures as "name value" lines for the script to collect.
#pragma once

// The engine unpaced against the simulator on a pty: blocks per second of a
// write and of a read of `blocks` blocks of the user scenes.
int RunEngineSpeed(unsigned blocks);
// The engine writes `file` to the firmware region through COM1 of portDir (a
// simulator the script started), stepped as the program's main loop steps it.
// The script measures its time and processor share from outside.
int RunPacedWrite(const char* portDir, const char* file);
// DetectDevice over `ports` silent ptys: seconds per port.
int RunSilentDetection(unsigned ports);
// The same frames as a firmware write of `file`, over the tty at `path`, with
// nothing between a reply and the next frame but blocking reads and writes.
int RunBareClient(const char* path, const char* file);
