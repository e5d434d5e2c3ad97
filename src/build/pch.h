// A precompiled <bits/stdc++.h>, built once per compiler and options and
// kept in a cache folder, so that the compile of a program that includes
// it does not read the whole library again. The compile line stays as it
// is: only the compiler's environment gains CPLUS_INCLUDE_PATH, naming an
// entry's folder, which holds bits/stdc++.h.gch beside a one-line
// bits/stdc++.h that includes the real header (#include_next). GCC uses
// the .gch when it fits the compile and silently reads the real header
// when it does not (a second include, a macro defined before it).
//
// velder plans the compile (Plan_Pch), passes Pch_Env to the compiler,
// and afterwards either falls back (Pch_Fault_In, Drop_Pch) or starts the
// build in the background (Start_Pch_Build). The build itself, its check
// and the cache's bounds are the work of the helper velder-pch
// (Build_Pch), which runs at low priority, outlives velder, and is found
// beside velder's executable.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/cache.h"
#include "platform/requests.h"

// Raised whenever the layout of an entry or of its key changes: entries
// of another format are never used.
const int PCH_FORMAT = 1;

// Bounds of the cache: entries with a header, their bytes, and entries
// without one (being built, or remembered as unusable).
const std::size_t PCH_MAX_ENTRIES = 4;
const long long PCH_MAX_BYTES = 500LL * 1024 * 1024;
const std::size_t PCH_MAX_MARKERS = 8;

// What the compiler says of itself.
struct Compiler_Id {
  bool gcc = false;
  std::string version, target;
};

// The compile's options allow a precompiled header: plain text (nothing
// cmd.exe would change, no control character, no response file) holding
// no option that moves or replaces the headers (-I, -isystem and every
// other -i…, -nostdinc, --sysroot), changes the language (-x), stops
// before an object (-E, -S, -c) or names an output (-o).
bool Options_Allow_Pch(std::string com_settings);

// The options as the header is built with them: without those only the
// linker reads (-l, -L, -Wl,, -Xlinker, -s, -static…, -pie…) and those
// that write files of their own (-M…, -save-temps).
std::vector<std::string> Header_Options(std::vector<std::string> words);

// The key of an entry: format, compiler path, size, modification time,
// version, target and the options text, one line each.
std::string Pch_Key(std::string com_path, platform::File_Stamp st, Compiler_Id id,
                    std::string com_settings);

// The folder name of the entry for a key: 16 hex digits.
std::string Pch_Entry_Name(std::string key);

// The cache: <cache home>/velder/pch; empty when there is none.
std::string Pch_Folder();

// VELDER_NO_PCH=1 in the environment turns it all off.
bool Pch_Switched_Off();

// The compiler's version and target (-dumpfullversion, -dumpmachine),
// asked once per compiler file and remembered for the run. gcc false
// when it does not answer as GCC does.
Compiler_Id Identify_Compiler(std::string com_path, platform::File_Stamp st, std::string scratch);

// What the compile of one source does with the cache.
struct Pch_Plan {
  enum State {
    off,       // nothing changes
    ready,     // the entry is there: Pch_Env names it
    absent,    // no entry yet: Start_Pch_Build after the compile
    building,  // being built by a helper now
    unusable,  // remembered as failing for this compiler and options
  };
  State state = off;
  std::string entry;  // the entry's folder
  std::string key;
};

// The plan for compiling fpath with com_path and com_settings. Off unless
// the source names bits/stdc++.h and everything above allows it. Reads
// the cache only; a ready entry is marked as just used.
Pch_Plan Plan_Pch(std::string com_path, std::string com_settings, std::string fpath);

// The compiler's environment for plan: CPLUS_INCLUDE_PATH with the
// entry's folder before any value the user has. Empty unless ready.
std::vector<platform::Env_Change> Pch_Env(const Pch_Plan& plan);

// The output of a failed compile with the entry names the precompiled
// header (.gch, PCH, "precompiled"), the entry's path, or is an internal
// compiler error: the entry may be at fault.
bool Pch_Fault_In(const std::string& output, const std::string& entry);

// Removes the entry's header after a fault. A second fault of the same
// entry remembers its key as unusable, so that no build follows.
void Drop_Pch(const Pch_Plan& plan);

// Writes the entry's key and starts the helper on it, detached, at low
// priority. False when that could not be done (no helper beside velder).
bool Start_Pch_Build(const Pch_Plan& plan, std::string helper = std::string());

// The helper's whole work on one entry folder, under the entry's lock:
// builds the header into a temporary file, checks it (a one-line program
// compiled with it must succeed and use it, -H showing "!"), publishes
// it by rename, or remembers the key as unusable; then bounds the cache.
// 0 when the entry is ready or another build holds it.
int Build_Pch(std::string entry);

// Bounds the cache folder: entries of compilers that are gone or changed
// go, and so do temporary files of builds no longer running; then the
// least recently used beyond the bounds above.
void Trim_Pch(std::string folder);

// The two lines velder says of it.
extern const char PCH_BUILDING[];  // the build has started
extern const char PCH_FALLBACK[];  // the entry failed; compiling again without it

// How a compile with a plan went.
struct Pch_Compile {
  int status = 0;
  bool fell_back = false;  // compiled a second time, without the entry
};

// Runs compile on r with Pch_Env added before r's own changes; the
// compiler's output still reaches r.on_output (standard output when r has
// none) as it comes. When it fails and the output shows the entry at
// fault, the entry is dropped, say gets PCH_FALLBACK, and r is compiled
// once more as it was.
Pch_Compile Compile_With_Pch(platform::Compile_Request r, const Pch_Plan& plan,
                             const std::function<int(platform::Compile_Request)>& compile,
                             const std::function<void(const char*)>& say);

// The compile as velder makes it: planned, run through platform::Compile
// with the entry when there is one (falling back as above), and followed
// by the start of the build when there is none yet; say gets the lines
// to show. The compiler's exit status.
int Compile_Using_Pch(platform::Compile_Request r, const std::function<void(const char*)>& say);
