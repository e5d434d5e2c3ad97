// GCC's colours for its output shown on a terminal: velder reads the
// compiler through a pipe, where GCC no longer colours anything itself.
#pragma once

#include <string>

// Colours complete lines; a part line waits for its end (or Colour_End).
// A line longer than a few kilobytes passes uncoloured, so that what is
// held stays small whatever the compiler prints.
class Colouriser {
 public:
  // The coloured text of the lines that chunk completes.
  std::string Colour(const std::string& chunk);
  // What is still held, once the output has ended.
  std::string End();

 private:
  std::string held_;
  bool passing_ = false;  // inside a line too long to hold
};

// One line (without its LF) in GCC's colours: the place bold, "error:"
// red, "warning:" magenta, "note:" cyan, the caret green. A line that
// carries colour codes already is left as it is.
std::string Colour_Line(const std::string& line);
