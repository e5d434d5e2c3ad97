// File system operations whose form differs by platform: how a UTF-8
// line becomes a path, the separator, exclusive creation, the atomic
// replacement of the settings file, and the hidden attribute.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace platform {

// The path named by a UTF-8 line. On Windows the line is converted to
// UTF-16; a line that is not valid UTF-8, or that holds a character
// cmd.exe would act on even between double quotes ("%", "!", control
// characters), gives false: it names nothing. On POSIX the bytes are the
// path.
bool Native_Path(std::string s, std::filesystem::path& p);

// What joins a directory and a name: "/" on POSIX, "\\" on Windows.
std::string Separator();

// True when name can only mean an entry directly inside a directory: it
// holds no separator (on Windows neither "\\" nor "/", nor the ":" that
// would name a stream of another file).
bool Is_Plain_Name(std::string name);

// Creates an empty regular file at path, only if nothing at all is there
// yet: never truncates, never follows a link, never opens a FIFO or a
// device. False on any failure, with nothing created.
bool Create_New_File(std::string path);

// What Read_Head found.
enum class Head { read, unreadable, foreign };

// Reads the start of the regular file name, bytes as stored: up to and
// including its lines-th LF, or all of it when it has fewer, so that what
// it costs depends on those lines only. On POSIX a file that belongs to
// another user is not read (foreign): root reads only its own, and under
// sudo (SUDO_UID) also that user's.
Head Read_Head(std::string name, std::size_t lines, std::string& content);

// Makes name hold exactly content, in one step: written to a temporary
// file beside it, flushed to disk, hidden, then renamed over name. On
// POSIX the new file keeps the permission bits of the one it replaces,
// and its owner and group where the process may set them; a first file
// gets 0666 less the umask; the temporary file never allows more than
// that. (On Windows it gets the folder's inherited permissions, as any
// new file does.) On any failure the old file is left
// as it was and the temporary file removed.
bool Replace_File(std::string name, std::string content);

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
