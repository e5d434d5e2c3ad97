// The settings menu and the About screen.
#pragma once

// The menu loop, until its back option.
void Settings();

// Shows the settings page and returns the choice: 1 to 5.
int Settings_Page();

// The change screens: the current value, then a new one read and taken
// in memory at once; the file gets it at the orderly exit.
void Set_COM_Path();
void Set_CON_Path();
void Set_COM_Settings();

// The About screen.
void Print_Message();
