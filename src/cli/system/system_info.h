// What system dm730 runs on, for the head of a trace: "Linux 6.1.0-13-amd64
// x86_64", "Windows 10.0.19045", "Windows 10.0.19045 (Wine 8.0)".
#pragma once
#include <string>

std::string SystemDescription();
