#pragma once
// One refresh of every window runs on the messenger client's thread and reads each window's
// caption, which means a message to the window's thread. A thread that has stopped pumping
// would make it wait the caption time-out for every one of its windows. The refresh asks each
// other thread once whether it answers; the windows of a thread that does not have their
// captions read without a message.
#include <windows.h>

#include <vector>

namespace dl::rules {

class UnansweringThreads {
 public:
  // The time-out for asking this window its caption: the usual one for windows of the calling
  // thread and of threads that answered; 0 (read without waiting) for a thread that did not.
  [[nodiscard]] unsigned CaptionTimeoutFor(HWND wnd);

 private:
  std::vector<DWORD> answered_;
  std::vector<DWORD> silent_;
};

}  // namespace dl::rules
