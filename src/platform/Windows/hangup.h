// The main thread's side of closing the window: it holds the settings
// while it runs, and lets go of them only while it waits for input, when
// it changes nothing, so that the close handler's thread saves them
// whole.
#pragma once

namespace platform {

// Held from On_Hangup on; released for the length of one wait.
class Waiting_For_Input {
 public:
  Waiting_For_Input();
  ~Waiting_For_Input();
  Waiting_For_Input(const Waiting_For_Input&) = delete;
  Waiting_For_Input& operator=(const Waiting_For_Input&) = delete;
};

}  // namespace platform
