// Closing the console window, logging off or shutting down: Windows calls
// the handler on a thread of its own and ends the process when it
// returns, or about 5 s after the event in any case. The save runs on that
// thread once the main thread waits for input; the main thread is then
// held there, so that nothing it does races the save or the end.
#include <windows.h>

#include "platform/console.h"
#include "platform/Windows/hangup.h"

namespace platform {

namespace {

HANDLE busy = nullptr;  // a mutex the main thread holds but while it waits for input
void (*saver)() = nullptr;
volatile LONG closing = 0;
volatile LONG saved = 0;

// Long enough for a compile or the typing of a page to come back to the
// input, short enough to save within the 5 s Windows allows.
const DWORD WAIT_FOR_MAIN_MS = 3000;

void Save_Once() {
  if (saver != nullptr && InterlockedExchange(&saved, 1) == 0) saver();
}

BOOL WINAPI On_Close(DWORD event) {
  if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  InterlockedExchange(&closing, 1);
  // The values are written only right after a line is read, in no time:
  // a main thread busy for seconds is compiling or waiting, and reading
  // them then is safe too.
  WaitForSingleObject(busy, WAIT_FOR_MAIN_MS);
  Save_Once();
  // The mutex stays held: the main thread goes no further. Windows ends
  // the process when the next handler (the default) returns.
  return FALSE;
}

}  // namespace

Waiting_For_Input::Waiting_For_Input() {
  if (busy != nullptr) ReleaseMutex(busy);
}

Waiting_For_Input::~Waiting_For_Input() {
  if (busy != nullptr) WaitForSingleObject(busy, INFINITE);
}

void On_Hangup(void (*save)()) {
  saver = save;
  busy = CreateMutexW(nullptr, TRUE, nullptr);
  SetConsoleCtrlHandler(On_Close, TRUE);
}

bool Hung_Up() { return closing != 0; }

[[noreturn]] void End_For_Hangup() {
  // The close handler saves and the system ends the process; a read that
  // failed first must not end it before.
  for (;;) Sleep(INFINITE);
}

}  // namespace platform
