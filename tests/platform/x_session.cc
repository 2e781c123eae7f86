#include "tests/platform/x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

extern char** environ;

namespace axtest {
namespace {

// Starts a program in a process group of its own, with its output thrown away (so that it
// holds no pipe of ours open) and bound to die with this process, even when a test is killed.
int Spawn(const std::vector<std::string>& args, int keep_fd = -1) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd) {
      if (fd != keep_fd) close(fd);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid > 0 ? pid : 0;
}

void EndGroup(int pid) {
  if (pid <= 0) return;
  kill(-pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    usleep(20000);
  }
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace

XSession::XSession(int width, int height) {
  char tmpl[] = "/tmp/ax-xhome-XXXXXX";
  if (!mkdtemp(tmpl)) {
    error_ = "mkdtemp";
    return;
  }
  home_ = tmpl;
  setenv("HOME", home_.c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("WAYLAND_DISPLAY");
  setenv("SDL_VIDEODRIVER", "x11", 1);

  // Xvfb picks a free display number itself and writes it to the pipe.
  int fds[2];
  if (pipe(fds) != 0) {
    error_ = "pipe";
    return;
  }
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  server_pid_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                       "-nolisten", "tcp", "-noreset"},
                      fds[1]);
  close(fds[1]);
  if (!server_pid_) {
    close(fds[0]);
    error_ = "cannot start Xvfb";
    return;
  }
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 30000) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    error_ = "Xvfb gave no display number";
    return;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);

  wm_pid_ = Spawn({"openbox", "--sm-disable"});
  if (!wm_pid_) {
    error_ = "cannot start openbox";
    return;
  }
  // The window manager is ready once it announces itself on the root window.
  if (!WaitUntil(
          [] {
            return Run("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'", nullptr, 5) ==
                   0;
          },
          30)) {
    error_ = "openbox did not come up";
    return;
  }
  ok_ = true;
}

XSession::~XSession() {
  EndGroup(wm_pid_);
  EndGroup(server_pid_);
  std::error_code ec;
  if (!home_.empty()) std::filesystem::remove_all(home_, ec);
}

int Run(const std::string& command, std::string* out, int timeout_s) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::string cmd = command;
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), cmd.data(), nullptr};
  pid_t pid = 0;
  int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return -1;
  }
  std::string text;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  bool timed_out = false;
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    int r = poll(&p, 1, 100);
    if (r > 0) {
      char buf[4096];
      ssize_t n = read(fds[0], buf, sizeof(buf));
      if (n > 0) {
        text.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0) break;
    }
    if (std::chrono::steady_clock::now() > end) {
      timed_out = true;
      break;
    }
  }
  close(fds[0]);
  if (timed_out) kill(-pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (out) *out = text;
  if (timed_out || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void PinLoadedLibraries() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        if (info->dlpi_name && info->dlpi_name[0]) {
          dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        }
        return 0;
      },
      nullptr);
}

std::vector<uint32_t> ScreenPixels(int x, int y, int w, int h) {
  std::vector<uint32_t> out;
  ::Display* d = XOpenDisplay(nullptr);
  if (!d) return out;
  XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(w),
                          static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (img) {
    out.reserve(static_cast<size_t>(w) * h);
    for (int yy = 0; yy < h; ++yy) {
      for (int xx = 0; xx < w; ++xx) {
        out.push_back(static_cast<uint32_t>(XGetPixel(img, xx, yy)) & 0xFFFFFFu);
      }
    }
    XDestroyImage(img);
  }
  XCloseDisplay(d);
  return out;
}

}  // namespace axtest
