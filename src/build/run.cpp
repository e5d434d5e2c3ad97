#include "build/run.h"

#include "console/console.h"

// Interim: build and run is not built yet.
void Run() {
  Cls();
  Pause();
}
