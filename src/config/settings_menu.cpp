#include "config/settings_menu.h"

#include "console/console.h"

// Interim: the settings menu is not built yet.
void Settings() {
  Cls();
  Pause();
}
