// Console output with the typing effect, menu pages, and validated
// numeric choices.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

// Sleeps a seconds, counted in whole microseconds; nothing at all below
// one microsecond, at zero or for a negative a.
void Wait(double a);

// The pause Wait makes for a, in whole microseconds (0: none).
int Wait_Microseconds(double a);

// Writes s one byte at a time, 1 ms per byte, then nrow line feeds at once.
void Print(std::string s, int nrow);

// The page header (title centred over a rule) written at once, then the
// option lines with the typing effect; one empty line after the last.
void Print_Page(int indent, std::string title, std::vector<std::string> options);

// The screen clear and the pause, through the command processor.
void Cls();
void Pause();

// Reads lines until one is a plain decimal number in a. At end of input
// it returns 0 when 0 is allowed (no, for a yes/no question); otherwise
// the program ends.
int Read_Pint(std::unordered_set<int> a);

// The verdict on one line of choice input: its value when it is a plain
// decimal number of at most 9 digits in a (message empty), otherwise the
// message to answer it with.
struct Choice {
  int ans;
  std::string message;
};
Choice Check_Choice(std::string s, std::unordered_set<int> a);

// Reads one line as typed; the program ends if the input has ended.
std::string Read_Text();

// Ends the program because standard input has ended: nothing saved,
// exit status 1.
[[noreturn]] void End_Of_Input();
