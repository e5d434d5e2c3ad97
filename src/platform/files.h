// File system operations whose form differs by platform: how a UTF-8
// line becomes a path, the separator, exclusive creation, the atomic
// replacement of the settings file, and the hidden attribute.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// The position of the first character of the path s that no command
// line could carry unchanged between double quotes, or npos when there
// is none; a path with one names nothing here, so that no program is
// ever handed another path than the one typed. Everywhere a double quote
// (it ends the quotes) and a NUL; on Windows also every other character
// that cmd.exe changes there, "%" and "!" among them (Cmd_Change_Of).
std::size_t Uncarried_At(std::string s);

// The path named by a UTF-8 line. On Windows the line is converted to
// UTF-16, and one longer than the old limit of 260 characters is made
// absolute in the "\\?\" form, which every call takes whatever the
// system's long path setting; a line that is not valid UTF-8, or that
// Uncarried_At refuses, gives false: it names nothing. On POSIX the bytes
// are the path.
bool Native_Path(std::string s, std::filesystem::path& p);

// The path named by a UTF-8 line as Native_Path makes it, but whatever
// characters it holds: only to tell a user that an entry which no
// command line can name does exist. False for a line that is not valid
// UTF-8 on Windows.
bool Native_Path_As_Typed(std::string s, std::filesystem::path& p);

// What joins a directory and a name: "/" on POSIX, "\\" on Windows.
std::string Separator();

// The file that reads as empty and takes any write: "/dev/null" on POSIX,
// "NUL" on Windows.
std::string Null_Device();

// True when name can only mean an entry directly inside a directory: it
// holds no separator (on Windows neither "\\" nor "/", nor the ":" that
// would name a stream of another file).
bool Is_Plain_Name(std::string name);

// Creates an empty regular file at path, only if nothing at all is there
// yet: never truncates, never follows a link, never opens a FIFO or a
// device. False on any failure, with nothing created.
bool Create_New_File(std::string path);

// The start of a settings file, as Read_Head found it.
struct Head {
  enum Kind { read, unreadable, foreign };
  Kind kind = read;
  std::string content;      // read: the lines, bytes as stored
  std::vector<std::size_t> dropped;  // read: lines (from 0) longer than the limit, left out
  std::string why;          // unreadable: what stopped the read, in words
};

// Reads the start of the regular file name, bytes as stored: up to and
// including its lines-th LF, or all of it when it has fewer, so that what
// it costs depends on those lines only. A line of more than max_line
// bytes (LF not counted) is not kept: only its LF goes into content, and
// dropped names it; memory stays within lines * max_line whatever the
// file holds. On POSIX a file that belongs to another user is not read
// (foreign): root reads only its own, and under sudo (SUDO_UID) also that
// user's; a symbolic link is read through only when every link on the
// way is the user's own too.
Head Read_Head(std::string name, std::size_t lines, std::size_t max_line);

// Collects a head block by block as Read_Head describes it; shared by the
// two implementations, which differ only in how they read.
struct Head_Reader {
  std::size_t lines, max_line;
  std::size_t seen = 0;  // LFs so far
  std::size_t line = 0;  // bytes of the current line so far
  // Takes the next n bytes of the file into h; false once the lines are
  // all in and nothing more is wanted.
  bool Add(Head& h, const char* p, std::size_t n);
};

// Makes name hold exactly content, in one step: written to a temporary
// file beside it, flushed to disk, hidden, then renamed over name. On
// POSIX the new file keeps the permission bits of the one it replaces,
// and its owner and group where the process may set them; a first file
// gets 0666 less the umask, but is always readable by its owner; the
// temporary file never allows more than that. (On Windows it gets the folder's inherited permissions, as any
// new file does.) A symbolic link whose target is the user's own regular
// file stays: the target is replaced, in its own folder. Never replaced:
// a file of another user, a link that leads anywhere else (dangling, to
// a directory, through another user's link, in a loop), a directory that
// is not empty. On any failure the old file is left as it was, the
// temporary file removed, and why says what stopped the save, in words.
bool Replace_File(std::string name, std::string content, std::string& why);

// True when anything at all is at name: a file, a folder, a link (even
// one that leads nowhere), or something whose status cannot be read. Any
// name Replace_File takes is asked as it is (on Windows "%" and "!" too).
bool Anything_At(std::string name);

// Gives from the name to, in one step, only when nothing at all is at to:
// never replaces a file, a folder or a link there. False, with from left
// as it was, when something is or on any other failure.
bool Move_New(std::string from, std::string to);

// Removes the file name; errors are ignored.
void Remove_File(std::string name);

// Gives the file the hidden attribute (POSIX: user.DOSATTRIB "0x2", as
// kept by Samba and Wine). Errors are ignored.
void Hide_File(std::string name);

// True when name is a regular file that may be run without an ".exe"
// name: on POSIX, one with an execute permission bit. Always false on
// Windows, where the extension decides.
bool Is_Executable(std::string name);

}  // namespace platform
