// What a cache kept between runs needs of the system: where it lives,
// a file's identity, a lock that dies with its holder, the folder of the
// running program, and the environment.
#pragma once

#include <string>

namespace platform {

// The folder for caches of this user, without "velder": POSIX
// $XDG_CACHE_HOME when it is an absolute path, else $HOME/.cache.
// Windows %LOCALAPPDATA%, by its short (8.3) name when it is not all
// ASCII (a compiler may not take such a path in its environment), and
// empty when there is no such name. Empty when there is no folder.
std::string Cache_Home();

// Size and modification time of a regular file, as the system tells
// them; ok false when there is none at path.
struct File_Stamp {
  bool ok = false;
  long long size = 0;
  long long mtime = 0;  // nanoseconds (POSIX) or 100 ns (Windows) since its epoch
};
File_Stamp Stamp_Of(std::string path);

// An exclusive lock on the file path (created when missing), held until
// Unlock or until the process ends, however it ends: a killed holder
// leaves no stale lock. 0 when another process holds it or it cannot be
// had.
long long Try_Lock(std::string path);
void Unlock(long long lock);

// The folder the running program's executable is in; empty when unknown.
std::string Own_Folder();

// What an executable's file name ends in: "" on POSIX, ".exe" on Windows.
std::string Executable_Suffix();

// What separates the folders of a list such as CPLUS_INCLUDE_PATH.
std::string Path_List_Separator();

// A variable of this process's environment, "" when unset; Has_Env tells
// the two apart.
std::string Get_Env(std::string name);
bool Has_Env(std::string name);

}  // namespace platform
