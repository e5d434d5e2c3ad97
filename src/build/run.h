// Build and run: compile a ".cpp" file and start the program.
#pragma once

void Run();
