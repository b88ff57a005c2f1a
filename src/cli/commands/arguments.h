// The command line of dm730: a command word, its operands and options, and
// the help and usage texts made from the same tables.
#pragma once
#include <string>
#include <vector>

#include "protocol/regions.h"

enum CommandId {
    CommandHelp = 0,
    CommandPorts,
    CommandDetect,
    CommandWrite,
    CommandRead,
    CommandVerify,
    CommandBackup,
    CommandVersion,
    CommandRestore,
    CommandVerifyBackup,  // verify with a backup folder instead of KIND FILE
    CommandLineTest,
};

const unsigned long DefaultMaxDifferences = 20;
// How often a block is tried again after a fault of the line, as XMODEM and
// esptool do; 0 is the window's way (the first fault ends the transfer).
const unsigned long DefaultRetries = 3;

struct CommandLine {
    CommandId command = CommandHelp;
    DataKind kind = KindFirmware;    // for write, read and verify
    std::string path;                // the file, or the folder of a backup
    std::string port;                // empty: the controller is looked for on every port
    std::vector<std::string> ports;  // every --port given, in order (port is the first)
    bool force = false;              // read and backup may replace files
    bool quiet = false;              // failures only
    unsigned long maxDifferences =
        DefaultMaxDifferences;      // verify: shown at most, the rest counted
    bool resume = false;            // read: continue FILE.part; restore: continue where it stopped
    CommandId topic = CommandHelp;  // help: the command asked about, CommandHelp for all
    // The written blocks are read back and compared: write --verify, restore
    // unless --no-verify.
    bool readBack = false;
    unsigned long retries = DefaultRetries;  // of each block whose exchange fails on the line
    unsigned long fromBlock = 0;  // write: the first block to write, from 1; 0: not given
    // The line's exchanges: every one into traceFile when given; the last ones
    // into the state folder when the command fails on the line, unless !trace.
    std::string traceFile;
    bool trace = true;
    bool loopback = false;      // linetest: a loopback plug, not a controller
    unsigned long seconds = 0;  // linetest --loopback: how long to send; 0: not given
    bool json = false;          // events on stdout for programs
    bool all = false;           // every port where a controller answers
};

enum ParseOutcome { ParsedCommand = 0, ParseFailed = -1 };
// ParseFailed: *problem says what is wrong (Windows-1250, like every text), and
// line->command is the command it was about when that much was understood
// (CommandHelp otherwise), so its usage can follow.
ParseOutcome ParseCommandLine(int argc, const char* const* argv, CommandLine* line,
                              std::string* problem);

// The usage line(s) of a command ("dm730 read RODZAJ PLIK ..."), with what it
// does; every command's for CommandHelp.
std::string UsageOf(CommandId command);
// The word the command is called by ("verify" for a backup's verify too).
const char* CommandWord(CommandId command);
// Every option with what it does, one or more lines each.
std::string OptionsHelp();
// Every kind of data with its contents, extensions and region's size.
std::string KindsHelp();
