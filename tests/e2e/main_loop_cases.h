// The main loop's cases, one table for the Linux suite and the Wine suite:
// each runs them with the screen as its build writes it (the screen
// clear, line ends) and its own way to start velder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

struct Main_Loop_Case {
  std::string input;        // answers, each ended by "\n"
  std::string screen;       // "{cls}" for each screen clear
  int status;
  std::string file_before;  // the settings file before; empty: none
  std::string file_after;   // and after
};

inline std::vector<Main_Loop_Case> Main_Loop_Cases() {
  const std::string main = "{cls}" + Main_Page_Text(), bye = "{cls}" + std::string(FAREWELL);
  const std::string old = "a\r\nb\r\nc";
  return {
      {"4\n", main + bye, 0, "", "\r\n\r\n"},
      {"5\n0\na\n\n 1\n１\n0000000004\n004\n",
       main + RANGE_MESSAGE + RANGE_MESSAGE + DIGIT_MESSAGE + RANGE_MESSAGE + DIGIT_MESSAGE +
           DIGIT_MESSAGE + RANGE_MESSAGE + bye,
       0, "", "\r\n\r\n"},
      // The end of the input at the menu: no save, the old file kept.
      {"", main, 1, old, old},
      {"7\n", main + RANGE_MESSAGE, 1, old, old},
      {"x", main + DIGIT_MESSAGE, 1, old, old},
      // Loaded, and written back with CR LF, the lines past three dropped.
      {"4\n", main + bye, 0, "/usr/bin/g++\nC:\\p p\\pauser.exe\n-O2\nextra\nlines\n",
       "/usr/bin/g++\r\nC:\\p p\\pauser.exe\r\n-O2"},
  };
}

// Runs every case in a fresh folder: start(cwd, input) runs velder there,
// written(text) is text as the build writes it, cls its screen clear.
inline void Run_Main_Loop_Cases(std::function<Result(std::string, std::string)> start,
                                std::function<std::string(std::string)> written, std::string cls) {
  for (const Main_Loop_Case& c : Main_Loop_Cases()) {
    Temp_Dir d;
    if (!c.file_before.empty()) Write_File_Bytes(d / "velder_data.sg", c.file_before);
    Result r = start(d.path(), c.input);
    std::string screen = c.screen;
    for (std::size_t at; (at = screen.find("{cls}")) != std::string::npos;) screen.replace(at, 5, cls);
    EXPECT_EQ(r.out, written(screen)) << c.input;
    EXPECT_EQ(r.status, c.status) << c.input;
    EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), c.file_after) << c.input;
    if (c.status == 0) {
      EXPECT_EQ(r.err, "") << c.input;
      EXPECT_GE(r.seconds, 2.5) << c.input;  // the farewell's wait
    } else {
      EXPECT_NE(r.err.find("输入已结束"), std::string::npos) << r.err;
    }
  }
}
