// Windows, events, timers, menus, message boxes and the open-files dialog, over SDL2 and X11.
//
// One Display is opened by the main thread at start-up and lives until the end; every window
// belongs to it. Windows are borderless, have one ARGB framebuffer each (a canvas::Bitmap) and a
// list of surfaces: rectangles with element ids, which the event source uses to say which
// element a press landed on and to report mouse-enter and mouse-leave per surface. Drawing on a
// surface is one pass: BeginDraw gives a canvas limited to the surface, EndDraw shows the result.
//
// Threads: everything here is for the main thread, except StartTimer, StopTimer and
// ShowMessageBox, which any thread may call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/canvas/canvas.h"

namespace platform {

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// The top-left corner that centres a w x h window on `screen`, clamped so that the window's
// top-left is never above or left of the screen's origin.
Point CenteredOrigin(const canvas::Rect& screen, int w, int h);

// Key codes for accelerators: the letters 'A' to 'Z' and '0' to '9' stand for themselves.
namespace keys {
constexpr int kEnter = 0x0D;
constexpr int kEscape = 0x1B;
constexpr int kSpace = 0x20;
constexpr int kPageUp = 0x21;
constexpr int kPageDown = 0x22;
constexpr int kLeft = 0x25;
constexpr int kUp = 0x26;
constexpr int kRight = 0x27;
constexpr int kDown = 0x28;
constexpr int kDelete = 0x2E;
}  // namespace keys

// A key with Shift either held or not held (an accelerator without Shift does not fire while
// Shift is down; Ctrl and Alt must be up for any accelerator).
struct Accelerator {
  int key = 0;
  bool shift = false;
  int command = 0;
};

enum class EventType {
  kNone,             // WaitEvent's time-out
  kLeftPress,        // raw, before anything else; element = the surface under the point
  kLeftDoubleClick,  // the second press of a double click (the first came as kLeftPress)
  kRightPress,
  kMouseMove,     // within a window
  kMouseEnter,    // element = the surface the cursor entered
  kMouseLeave,    // element = the surface the cursor left
  kCommand,       // an accelerator or a popup-menu item; `command` holds its id
  kFilesDropped,  // `text` holds the dropped paths, one a line, joined by "\n"
  kTimer,         // `timer` holds the timer id
  kMinimised,
  kRestored,
  kCloseRequest,
};

struct Event {
  EventType type = EventType::kNone;
  int window = 0;   // the window's element id (0 when the event belongs to none)
  int element = 0;  // the surface under the point, or the window's id when on no surface
  Point screen;     // the cursor in screen coordinates when the event happened (mouse events)
  Point local;      // the same in the window's client coordinates
  int command = 0;
  int timer = 0;
  std::string text;
};

struct WindowOptions {
  int id = 0;  // the element id events carry
  std::string title;
  int width = 0, height = 0;
  canvas::Color background = canvas::Rgb(0);
  bool always_on_top = false;
  uint8_t opacity = 255;
  std::optional<Point> position;  // default: centred on the primary screen
};

class Display;

class Window {
 public:
  ~Window();  // closes the window
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  int id() const { return id_; }
  int width() const { return framebuffer_.width(); }
  int height() const { return framebuffer_.height(); }

  // The window's pixels as we drew them (what a present puts on the screen).
  canvas::Bitmap& framebuffer() { return framebuffer_; }
  // Shows the framebuffer, all of it or one rectangle, on the screen.
  void Present();
  void Present(const canvas::Rect& r);

  // Surfaces: later ones lie above earlier ones where they overlap. Adding an existing id
  // moves it.
  void AddSurface(int element, const canvas::Rect& rect);
  void RemoveSurface(int element);
  std::optional<canvas::Rect> SurfaceRect(int element) const;
  // The topmost surface at a client point, or the window's id.
  int ElementAt(Point local) const;

  // One drawing pass on a surface (or, for the window's own id, the whole window): a canvas
  // limited to its rectangle, then EndDraw shows the result. A missing surface gives a canvas
  // of size 0 on which every verb does nothing.
  canvas::Canvas BeginDraw(int element);
  void EndDraw(int element);

  // The client area's top-left in screen coordinates, as the X server knows it.
  Point Position() const;
  void MoveTo(Point screen);
  void SetOpacity(uint8_t alpha);
  void SetAlwaysOnTop(bool on);
  bool always_on_top() const { return always_on_top_; }
  void Raise();
  void Minimise();
  // A disabled window gets no mouse, key or command events (they are dropped).
  void SetEnabled(bool on) { enabled_ = on; }
  bool enabled() const { return enabled_; }
  void SetAccelerators(std::vector<Accelerator> table) { accelerators_ = std::move(table); }
  void AcceptDrops(bool on) { accepts_drops_ = on; }
  // The window follows the pointer from where it is now until the left button is up, then the
  // call returns. Reads the pointer from the X server, so synthetic moves count too.
  void RunMoveLoop();
  // The native handle other libraries ask for (the X11 window id), or nullptr.
  void* NativeHandle() const;

 private:
  friend class Display;
  Window(Display& display, const WindowOptions& options);
  Display& display_;
  int id_ = 0;
  void* sdl_ = nullptr;  // SDL_Window*
  uint32_t sdl_id_ = 0;
  canvas::Bitmap framebuffer_;
  struct Surface {
    int element;
    canvas::Rect rect;
  };
  std::vector<Surface> surfaces_;
  std::vector<Accelerator> accelerators_;
  int hovered_ = 0;  // the surface under the cursor, 0 for none
  bool enabled_ = true;
  bool accepts_drops_ = false;
  bool always_on_top_ = false;
};

struct MenuItem {
  int command = 0;
  std::string text;
};

enum class MessageIcon { kNone, kError, kInformation };

class Display {
 public:
  // Connects to the display; nullptr with the reason in `error` when there is none.
  static std::unique_ptr<Display> Open(std::string* error = nullptr);
  ~Display();
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // The primary screen's rectangle in screen coordinates.
  canvas::Rect PrimaryScreen() const;
  // The cursor in screen coordinates, read from the X server.
  Point CursorPosition() const;

  // Opens a window, shown at once (use opacity 0 to keep it invisible). nullptr on failure.
  std::unique_ptr<Window> OpenWindow(const WindowOptions& options);

  // Waits for the next event without limit.
  Event WaitEvent();
  // Waits up to `timeout_ms`; a time-out gives an event of type kNone.
  Event WaitEvent(uint32_t timeout_ms);

  // Timers: every `period_ms` a kTimer event for (window, timer). Starting a running timer
  // restarts it with the new period. After StopTimer returns no further event of that timer is
  // delivered, even one already queued. Any thread; false when the system refuses the timer.
  bool StartTimer(int window, int timer, uint32_t period_ms);
  void StopTimer(int window, int timer);

  // A popup menu at `screen` (its top-left corner), owned by `owner`, modal until an item is
  // chosen with either button or the menu is dismissed (Escape, or a press outside it). A chosen
  // item is queued as a kCommand event of the owner. Answers the chosen command or 0.
  int ShowPopupMenu(Window& owner, Point screen, const std::vector<MenuItem>& items);

  // A modal message box with one OK button; returns when it is closed. Any thread; `parent`
  // may be null. The text is shown as given (UTF-8, no markup). Shown by zenity, else by SDL.
  void ShowMessageBox(Window* parent, const std::string& title, const std::string& text,
                      MessageIcon icon);

  // The open-files dialog with multiple selection (zenity, else kdialog). `patterns` are glob
  // patterns such as "*.dsf"; both letter cases are offered. Answers the chosen paths in the
  // dialog's order; empty when cancelled. When neither dialog program is installed, a message
  // box says which package to install and the answer is empty. Our windows lose always-on-top
  // while the dialog is open (it would open behind them) and get it back afterwards.
  std::vector<std::string> OpenFilesDialog(Window* parent, const std::string& title,
                                           const std::string& filter_name,
                                           const std::vector<std::string>& patterns);

 private:
  friend class Window;
  struct Impl;
  Display();
  Window* FindBySdlId(uint32_t id) const;
  Window* FindById(int id) const;
  bool Translate(const void* sdl_event, Event& out);
  int RunDialogProgram(std::vector<std::string> args, std::string* output);
  void AttachTo(Window* parent, std::vector<std::string>& args) const;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
