#include "editing/edit.h"

#include "console/console.h"

// Interim: the edit menu is not built yet.
void Edit() {
  Cls();
  Pause();
}
