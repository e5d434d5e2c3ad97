// The edit menu: create empty ".cpp" files and open them in an editor.
#pragma once

// The menu loop, until its back option.
void Edit();

// Shows the edit page and returns the choice: 1, 2 or 3.
int Edit_Page();

// Asks for a directory and a name and creates an empty file named
// directory + separator + name + ".cpp", only where nothing is yet.
void New_File();

// Asks for an existing ".cpp" file and opens it in the editor.
void Open_File();
