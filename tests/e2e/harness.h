// Starts the built velder as a user would: in a working directory of its
// own, with standard input from a pipe or a pseudo-terminal, and collects
// every byte it writes.
#pragma once

#include <chrono>
#include <string>

#include <sys/types.h>
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
  std::vector<int> ignored;  // signals ignored at the start, as nohup or trap '' leave them
  int out_fd = -1;           // on a pipe run: standard output this descriptor, not collected
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
  bool optional = false;  // passed over when the next step's text shows first
};

// Standard input is a pipe holding input, closed after it.
Result Run_Piped(Options o, std::string input);

// Standard input and output are one pseudo-terminal.
Result Run_Pty(Options o, std::vector<Step> steps);

// How a live run's standard input and output reach the program: pipes
// (standard error a pipe of its own), or one pseudo-terminal of 40 rows
// and 120 columns.
enum class Input { pipe, terminal };

struct termios;

// One program, started as Run_Piped and Run_Pty start it, then watched
// and driven as it runs. Everything it writes is collected as it comes;
// every wait ends at the run's timeout, counted from the start. The
// program is killed, if it still runs, when the object goes.
class Live {
 public:
  Live(Options o, Input how);
  ~Live();
  Live(const Live&) = delete;
  Live& operator=(const Live&) = delete;

  // Waits until the output shows text after where the last wait matched.
  // False if the output ends or the time is up first.
  bool Wait_For(const std::string& text);
  // The same for whichever of texts shows first: its index, or -1.
  int Wait_For_Any(const std::vector<std::string>& texts);
  // Waits until the terminal has left line mode, as the key wait leaves it.
  bool Wait_Raw();
  // Goes on collecting the output for that many seconds.
  void Watch(double seconds);
  // Bytes as typed: written at once, or as the program makes room.
  void Type(const std::string& bytes);
  // On a pipe: the end of the input, once everything typed is written.
  // On a terminal: the terminal goes away, as when its window is closed.
  void Close_Input();
  // The reader of standard output goes away (a pipe run).
  void Close_Output();
  void Signal(int sig);
  // The terminal's mode as the program sees it; false on a pipe run.
  bool Mode(struct termios& mode);
  bool Running();
  pid_t pid() const { return pid_; }
  const std::string& out() const { return r_.out; }
  // Waits for the end of the output, then of the program (killed once the
  // time is up), and returns all of it.
  Result End();

 private:
  bool Past_Deadline();
  void Pump(int ms);
  void Send();
  void Close_In_Fd();

  Options o_;
  Input how_;
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;  // on a terminal in_ and out_ are the master
  bool out_open_ = false, err_open_ = false, closing_ = false, reaped_ = false;
  std::string pending_;  // typed, not yet written
  std::size_t from_ = 0;  // where the next wait looks
  std::chrono::steady_clock::time_point t0_;
  Result r_;
};

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
