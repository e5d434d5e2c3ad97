// What g++ and the linker said, read back: the diagnostics of a compile's
// output, and the short Chinese explanation velder prints after it. The
// compile runs in the C locale, so the messages are GCC's English ones;
// the explanations come from one table of patterns (diagnose.cpp).
// Nothing here reads files or prints: the output and the source come in
// as text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One message of the compiler, the driver or the linker.
struct Diagnostic {
  enum Kind { error, warning, note };
  Kind kind = error;
  bool english = true;  // false: the kind word was translated (another locale)
  std::string file;     // as printed; empty when none was named
  int line = 0;         // 0: no line
  int column = 0;       // 0: no column
  std::string message;  // after the kind word; typographic quotes made plain
  std::string notes;    // the notes that followed, one message per line
  // The lines that led here ("required from here", "In file included
  // from"), in the order printed; the student's own is among them when
  // the diagnostic is inside a library header.
  struct Place {
    std::string file;
    int line = 0, column = 0;
  };
  std::vector<Place> trail;
};

// The diagnostics of a compile's output, in order; colour codes and CRs
// are ignored, and lines of any length are safe.
std::vector<Diagnostic> Parse_Output(const std::string& output);

// Where a line of output names its kind: "error:" in
// "a.cpp:3:5: error: ...". at and size: the kind word with its colon;
// locus: the length of what stands before it ("a.cpp:3:5").
struct Kind_Mark {
  bool found = false;
  Diagnostic::Kind kind = Diagnostic::error;
  bool english = true;
  std::size_t at = 0, size = 0, locus = 0;
};
Kind_Mark Find_Kind(const std::string& line);

// The explanation of a failed compile or of a compile's warnings.
struct Explanation {
  std::string rule;  // the rule that explained it, "unknown", or "" when there is nothing to say
  std::string text;  // the lines to print, each ending in '\n'; empty with rule ""
};

// After "编译失败！": the number of errors and warnings, where the first
// error is in the student's file (fpath as handed to the compiler) with
// that source line and a caret, and what it most likely means. source:
// the file's bytes, empty when unread.
Explanation Explain_Failure(const std::string& output, const std::string& fpath,
                            const std::string& source);

// After "编译成功！": the number of warnings and the first one's line,
// with a sentence for each kind that is nearly always a bug.
Explanation Explain_Warnings(const std::string& output, const std::string& fpath,
                             const std::string& source);

// The rule ids of the table, in order (for the tests that make sure each
// has a program that triggers it).
std::vector<std::string> Rule_Ids();
