// What dm730 says about a transfer in the program's language: the lines the
// window shows on its status display, and the core's failures. In Polish
// they are the window's own texts.
#pragma once
#include <string>

#include "operator/failure.h"
#include "protocol/regions.h"

// "Zapisywanie do Dm730 : program": the running transfer's action and kind.
std::string ActionText();
// "Blok 5 z 512": the running transfer's block within its region.
std::string BlockText();
// "Wersja firmware : 1.07 | 2.01": the versions of the last identification.
std::string VersionsText();
// What a kind of data holds, as the help says it.
const char* KindContents(DataKind kind);
// The failure's message. coreText is the core's own (the window's), kept as
// it is in Polish; in English the message is made from the failure's kind,
// stage and reply.
std::string FailureText(const Failure& failure, const char* coreText);
// What the transfer was doing in a phase, for the context of a line failure.
const char* PhaseWork(int phase);
