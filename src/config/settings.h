// The three settings, kept for the whole run, loaded from and saved to
// the settings file in the working directory.
#pragma once

#include <cstddef>
#include <string>

extern std::string COM_PATH;      // the compiler
extern std::string CON_PATH;      // the pauser
extern std::string COM_SETTINGS;  // extra compiler options

// The settings file's name, in the working directory.
extern const std::string SETTINGS;

// The longest value the settings file keeps: longer than any path or
// command line a system takes. A longer line is not loaded, so that what
// a start costs does not depend on what the file holds.
const std::size_t SETTING_MAX = 32768;

// Prepares the console, sets the window title and loads the settings
// file if there is one. A file that is there but not taken (another
// user's, unreadable, a line too long) is named on standard error, one
// line each; nothing else is printed.
void Init();

// Replaces the settings file with the current values, in one step, and
// hides it. Returns "" when every value was saved; otherwise one sentence
// saying what was not saved and why. The old file is then left as it was,
// except that a value too long to be loaded again is left out and the
// others saved. A file Init could not read is never written over.
std::string Save_Settings();

// The file's form: value 1, CR LF, value 2, CR LF, value 3.
std::string Format_Settings(std::string com_path, std::string con_path, std::string com_settings);

// Assigns the first three lines of a settings file (LF or CR LF) to the
// globals; missing lines leave theirs as they are.
void Load_Settings(std::string content);

// What Save_First_Settings did.
enum class First_Save { written, present, failed };

// True when anything at all (a file, a folder, a link) bears the settings
// file's name in folder, or its status cannot be read.
bool Settings_Present(std::string folder);

// The first settings file of folder, for the installer: holds these
// values and is hidden, and is written only when nothing of its name is
// in folder, so that a file the user already has (or anything else in
// its place) is never replaced, even by a copy of velder saving at the
// same moment.
First_Save Save_First_Settings(std::string folder, std::string com_path, std::string con_path,
                               std::string com_settings);
