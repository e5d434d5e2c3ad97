// Reading file system paths from the user, checking them, and quoting
// them for command lines. A path is a line exactly as typed.
#pragma once

#include <string>

// Reads lines until one names an existing regular file whose extension
// (after the last dot, any letter case) is wh; returns it as typed. With
// "exe", a POSIX system also takes any file with an execute bit.
std::string Read_File_Path(std::string wh);

// Reads lines until one names anything that exists; returns it as typed.
std::string Read_Path();

// True when s names an existing regular file (links followed).
bool Isfile(std::string s);

// s between two double quotes, nothing escaped.
std::string Change(std::string s);

// What a path names, as far as the readers care. A status that cannot be
// read (a name too long, a loop of links, no permission, not UTF-8 on
// Windows) counts as nothing, and so does a line that no command line
// can carry (platform::Uncarried_At). The readers name the character of
// a line refused only for a "%" or "!" that cmd.exe would rewrite.
enum class Entry { nothing, file, other };
Entry Kind_Of(std::string s);

// The extension test: the bytes after the last dot of ans, with ASCII
// capitals folded, equal wh. False when ans has no dot.
bool Has_Extension(std::string ans, std::string wh);

// The character ("%" or "!" on Windows) that cmd.exe would rewrite even
// between double quotes, when it is what first makes s a path no command
// line can carry; empty otherwise, and always on POSIX.
std::string Rewritten_Character(std::string s);
