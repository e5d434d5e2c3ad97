// Starts the built velder as a user would: in a working directory of its
// own, with standard input from a pipe or a pseudo-terminal, and collects
// every byte it writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Result {
  std::string out;     // standard output (with a terminal: everything shown)
  std::string err;     // standard error (empty with a terminal)
  int status = -1;     // exit code, or 128 + signal
  double seconds = 0;  // from start to exit
  bool timed_out = false;
};

struct Options {
  std::string cwd;                                         // working directory
  std::vector<std::pair<std::string, std::string>> env;    // variables set for the run
  std::vector<std::string> unset;                          // removed from the environment
  std::string program = VELDER_BIN;
  std::vector<std::string> args;
  double timeout = 60;
};

// Options for a run in working directory cwd.
inline Options In(std::string cwd) {
  Options o;
  o.cwd = cwd;
  return o;
}

// A line typed at the terminal once the screen shows `expect` (counted
// from where the previous step matched).
struct Step {
  std::string expect;
  std::string send;
  bool raw = false;  // and not before the terminal has left line mode
  double delay = 0;  // seconds to wait, once the step is due, before sending
};

// Standard input is a pipe holding input, closed after it.
Result Run_Piped(Options o, std::string input);

// Standard input and output are one pseudo-terminal.
Result Run_Pty(Options o, std::vector<Step> steps);

// A fresh directory under the system's temporary directory, removed with
// its contents when the object goes.
class Temp_Dir {
 public:
  Temp_Dir();
  ~Temp_Dir();
  Temp_Dir(const Temp_Dir&) = delete;
  Temp_Dir& operator=(const Temp_Dir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string Read_File_Bytes(const std::string& path);
void Write_File_Bytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::string Helper(const std::string& name);  // path of a test helper program

// The expected screen texts, built the same way the program builds them.
std::string Main_Page_Text();
std::string Cls_Dumb();   // the screen clear on a transcript
std::string Cls_Smart();  // the screen clear on a terminal
extern const char PAUSE_PROMPT[];
extern const char FAREWELL[];
extern const char DIGIT_MESSAGE[];
extern const char RANGE_MESSAGE[];

// velder-pauser's figures, which differ from run to run ("用时 1.002 秒，
// CPU 时间 0.001 秒，内存峰值 3.4 MiB。"): Fixed_Figures puts
// PAUSER_FIGURES in their place.
extern const char PAUSER_FIGURES[];
std::string Fixed_Figures(const std::string& s);

// The figures of a judged case ("CPU 时间 0.002 秒，内存峰值 3.3 MiB。"):
// Fixed_Case_Figures puts CASE_FIGURES in their place, and those of the
// report PAUSER_FIGURES.
extern const char CASE_FIGURES[];
std::string Fixed_Case_Figures(const std::string& s);

// A spinning case on a machine so busy that its 1 s of CPU time takes
// longer than the wall-time limit is ended for that instead: the time-out
// reads as the CPU-time one.
std::string Busy_As_Cpu(std::string s);

// The figures of the first report in out; -1 for each when there is none.
struct Pauser_Figures {
  double seconds = -1, cpu = -1, mib = -1;
};
Pauser_Figures Figures_In(const std::string& out);

// What a terminal shows for text written by the program: LF becomes CR LF.
std::string Onlcr(std::string s);
