// Sample cases beside a program, and how an output compares with an
// answer, as an online judge compares them.
#pragma once

#include <string>
#include <vector>

// One sample case: an input and, when there is one, its answer.
struct Sample {
  std::string name;    // the input's file name, as shown
  std::string input;   // its path
  std::string answer;  // the answer's path; empty: none
};

// The cases beside a program named stem (its file name less ".exe") in
// folder dir: stem.in, stem<k>.in and stem_<k>.in with k a number, the
// extension in any letter case, in the order of k (stem.in first). The
// answer has the input's stem and .ans, else .out; never the bare
// stem.out, which is what a program that opens its own files writes.
std::vector<Sample> Find_Samples(const std::string& dir, const std::string& stem);

// The program's file name less a last ".exe" in any letter case.
std::string Program_Stem(const std::string& file_name);

// How an output compares with its answer.
enum class Match { same, format, different };

// The first line where they differ, as shown on a console line: cut
// around the first differing column, with invisible characters written
// out and the markers for trailing blanks and a missing last line feed.
struct Difference {
  long long line = 0;  // 1-based
  std::string expected, actual;
};

struct Comparison {
  Match match = Match::same;
  Difference first;  // unless same
};

// Compares the files line by line, streaming, in memory bounded by the
// longest line shown. CR LF and a lone CR count as LF; spaces and tabs at
// line ends and blank lines at the end are ignored; everything else is
// exact. Outputs equal but for other white space are Match::format.
Comparison Compare_Files(const std::string& output, const std::string& answer);

// The output limit for a case whose answer has answer_bytes bytes (or
// none, -1): 8 times the answer, at least 1 MiB, at most 64 MiB.
long long Output_Limit(long long answer_bytes);

