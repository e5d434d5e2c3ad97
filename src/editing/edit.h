// The edit menu: create empty ".cpp" files and open them in an editor.
#pragma once

void Edit();
