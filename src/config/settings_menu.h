// The settings menu and the About screen.
#pragma once

void Settings();
