// velder-pch: builds one entry of velder's precompiled-header cache in
// the background, then bounds the cache. velder starts it, detached and
// at low priority, with the entry's folder as its only argument; it
// prints nothing and asks nothing.
#include "build/pch.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  return Build_Pch(argv[1]);
}
