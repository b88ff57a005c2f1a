// A word of a command line as the system's shell takes it back whole, for the
// commands dm730 tells the user to run.
#pragma once
#include <string>

std::string ShellWord(const std::string& word);
