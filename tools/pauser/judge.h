// The run window as a judge: sample cases that lie beside the program
// are run one by one, each in a fresh folder, and their output compared
// with the answers.
#pragma once

#include <string>
#include <vector>

#include "platform/process.h"
#include "samples.h"

// Per platform: runs s as the pauser runs a program: Ctrl+C and the like
// reach the program, not the pauser, and the terminal or console is as it
// was when the program ends.
platform::Process_End Run_Guarded(platform::Process_Spec s);

// Runs every case of program (found already) with the arguments argv
// (argv[0] as the user gave it) and writes the report to standard
// output. Returns 0 when every case with an answer is correct, else 1;
// 127 when the program cannot be started.
int Judge(const std::string& program, const std::vector<std::string>& argv,
          const std::vector<Sample>& samples);
