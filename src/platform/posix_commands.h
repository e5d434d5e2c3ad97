// The POSIX stand-ins for the command lines the program issues, each in
// its own file. Every one returns the command's exit status.
#pragma once

#include <string>
#include <vector>

namespace platform {

int Clear_Screen();
int Pause_For_Key();
int Set_Title(std::string title);

// The editor for "notepad.exe " + a quoted path: VISUAL, else EDITOR, else
// the first of editor, nano and vi on PATH, started in this terminal with
// the path as its last argument. 127 when there is none.
int Open_Editor(std::string tail);

// The full path of a program named without a slash, found on PATH; a
// name with a slash as it is. Empty when there is none.
std::string Find_On_Path(std::string name);

// Starts argv[0] (searched on PATH when it has no slash) with the other
// words as its arguments, no shell, with SIGINT and SIGQUIT at their
// defaults in the child and ignored here meanwhile. With wait: its exit
// status, 128 + N for signal N. 127, and a line on standard error, when
// it cannot be started. Without wait: 0 once started; the program runs on
// in a process group of its own, with no standard input.
int Spawn(std::vector<std::string> argv, bool wait);

// Spawn with wait, telling apart a program that could not be started
// (started false) from one that ended with status 127.
int Spawn_And_Wait(std::vector<std::string> argv, bool& started);

// "cmd /c" + text and "start " + words, each program started directly.
// A program word without a slash that names a file in the working
// directory means that file, as for cmd.exe; otherwise PATH is searched.
int Cmd_Command(std::string text);
int Start_Command(std::string words);
std::string Program_Word(std::string word);

}  // namespace platform
