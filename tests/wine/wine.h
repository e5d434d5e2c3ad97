// Running the cross-compiled programs under Wine: the shared prefix, the
// Windows form of a Linux path, and the screen texts as Windows writes
// them (text mode: every LF goes out as CR LF).
#pragma once

#include <string>

#include "harness.h"

// Options for velder.exe (or another program of the cross build, given
// by its Linux path) started by wine64 in working directory cwd.
Options Wine_In(std::string cwd, std::string exe = std::string(WINE_BUILD) + "/velder.exe");

// Z:\... for a Linux path: Wine maps Z: to the root.
std::string Win_Path(std::string linux_path);

// LF -> CR LF.
std::string Crlf(std::string s);

// What cmd.exe writes for "cls" and "title Velder" when standard output
// is a pipe: under Wine nothing (Windows itself writes a form feed for
// "cls"; the tests can only show Wine's).
std::string Cls_Wine();

// The pause of velder.exe when standard input is not a console.
std::string Pause_Wine();

// The hidden attribute of a file as Wine keeps it on Linux.
std::string Dos_Attributes(const std::string& path);

// Runs "attrib" on the file under Wine and returns the letters before
// its path ("A    H" and the like), spaces removed.
std::string Attrib_Letters(const std::string& path);

// A terminal transcript of Wine's console without its escape sequences
// (it draws every character on its own, with cursor moves between, and
// a space as a move to the right, which becomes a space again here).
std::string Without_Escapes(const std::string& s);
