// A private X session for one test program: its own Xvfb (on a display number the server picks
// itself), openbox as window manager, and a private HOME. Everything it starts runs in its own
// process group and is ended when the session object goes away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace axtest {

class XSession {
 public:
  // Starts the server at width x height and the window manager; sets DISPLAY and HOME for this
  // process (and so for the programs it runs). ok() tells whether all went well.
  XSession(int width = 1024, int height = 768);
  ~XSession();
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  const std::string& home() const { return home_; }

 private:
  bool ok_ = false;
  std::string error_;
  std::string home_;
  int server_pid_ = 0;
  int wm_pid_ = 0;
};

// Runs a shell command line with a time-out (seconds); answers its exit status (-1 on a time-out
// or when it could not run) and, when `out` is given, its standard output.
int Run(const std::string& command, std::string* out = nullptr, int timeout_s = 30);

// The screen's pixels (0xRRGGBB) in a rectangle, row by row; empty on failure.
std::vector<uint32_t> ScreenPixels(int x, int y, int w, int h);

// Keeps every library loaded now loaded until the process ends, so that leak reports about
// them still name the library after it would have been unloaded.
void PinLoadedLibraries();

// Polls `check` every 20 ms up to `timeout_s` seconds; answers whether it became true.
template <typename F>
bool WaitUntil(F check, int timeout_s = 20);

}  // namespace axtest

#include "tests/platform/x_session_inl.h"
