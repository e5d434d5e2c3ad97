// The main menu.
#pragma once

// Shows the main page and returns the choice, 1 to 4.
int Main_Page();
