// Windows and the event source over SDL2, with X11 where SDL's own view is not enough.
//
// SDL has one event queue for the process; the Display turns each SDL event into zero or more of
// our events and keeps those it cannot hand out at once (an enter after a leave, a command chosen
// in a popup menu) in a small queue of its own, so that the order is kept. Pointer positions for
// the move loop and the cursor come straight from the X server: SDL's global mouse state is a
// cached value that does not follow synthetic moves. Timers run on SDL's timer thread and only
// push an event; a generation number per (window, timer) lets a stopped or restarted timer's
// queued ticks be recognised and dropped.
#include "platform/display.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "platform/font.h"
#include "platform/system.h"

extern char** environ;

namespace platform {

Point CenteredOrigin(const canvas::Rect& screen, int w, int h) {
  Point p{screen.x + (screen.w - w) / 2, screen.y + (screen.h - h) / 2};
  return {std::max(p.x, screen.x), std::max(p.y, screen.y)};
}

struct Display::Impl {
  ::Display* x = nullptr;  // our own X connection for pointer and position queries
  std::vector<Window*> windows;
  std::deque<Event> pending;
  // Timers, touched by any thread.
  struct Timer {
    SDL_TimerID sdl = 0;
    uint32_t generation = 0;
  };
  std::mutex timer_mutex;
  std::map<std::pair<int, int>, Timer> timers;  // guarded by timer_mutex
  uint32_t next_generation = 1;                 // guarded by timer_mutex
  // A drop in progress.
  uint32_t drop_window = 0;
  std::string drop_text;
  bool dropping = false;
  std::unique_ptr<Font> menu_font;
  SDL_threadID main_thread = 0;  // the thread that opened the display
};

namespace {

SDL_Window* Sdl(void* p) {
  return static_cast<SDL_Window*>(p);
}

unsigned long XWindowOf(SDL_Window* w) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!w || !SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

// Our key code for an SDL key, 0 for keys we do not name.
int KeyCode(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  switch (k) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return keys::kEnter;
    case SDLK_ESCAPE:
      return keys::kEscape;
    case SDLK_SPACE:
      return keys::kSpace;
    case SDLK_PAGEUP:
      return keys::kPageUp;
    case SDLK_PAGEDOWN:
      return keys::kPageDown;
    case SDLK_LEFT:
      return keys::kLeft;
    case SDLK_UP:
      return keys::kUp;
    case SDLK_RIGHT:
      return keys::kRight;
    case SDLK_DOWN:
      return keys::kDown;
    case SDLK_DELETE:
      return keys::kDelete;
    default:
      return 0;
  }
}

Event MakeEvent(EventType type, int window, int element, Point screen = {}, Point local = {}) {
  Event e;
  e.type = type;
  e.window = window;
  e.element = element;
  e.screen = screen;
  e.local = local;
  return e;
}

// Timer parameters travel inside the callback's pointer: window and timer ids (16 bits each)
// and the generation (32 bits), so nothing has to be kept alive for a callback in flight.
uintptr_t PackTimer(int window, int timer, uint32_t generation) {
  return (static_cast<uintptr_t>(window & 0xFFFF) << 48) |
         (static_cast<uintptr_t>(timer & 0xFFFF) << 32) | generation;
}

Uint32 TimerTick(Uint32 interval, void* param) {
  uintptr_t packed = reinterpret_cast<uintptr_t>(param);
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_USEREVENT;
  e.user.code = static_cast<Sint32>((packed >> 32) & 0xFFFF);
  e.user.data1 = reinterpret_cast<void*>(static_cast<uintptr_t>((packed >> 48) & 0xFFFF));
  e.user.data2 = reinterpret_cast<void*>(static_cast<uintptr_t>(packed & 0xFFFFFFFFu));
  SDL_PushEvent(&e);
  return interval;
}

// Xlib's default error handler ends the process. A protocol error is not worth that: the usual
// one is an answer to a drag source or a menu owner that has just gone away.
int IgnoreXError(::Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

// ---- Window ------------------------------------------------------------------------------------

Window::Window(Display& display, const WindowOptions& options)
    : display_(display),
      id_(options.id),
      framebuffer_(options.width, options.height, options.background),
      always_on_top_(options.always_on_top) {}

Window::~Window() {
  auto& list = display_.impl_->windows;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (sdl_) SDL_DestroyWindow(Sdl(sdl_));
}

void Window::Present() {
  Present(framebuffer_.bounds());
}

void Window::Present(const canvas::Rect& rect) {
  canvas::Rect r = rect.Intersect(framebuffer_.bounds());
  SDL_Surface* surface = SDL_GetWindowSurface(Sdl(sdl_));
  if (r.empty() || !surface) return;
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  auto* dst = static_cast<uint8_t*>(surface->pixels) +
              static_cast<ptrdiff_t>(r.y) * surface->pitch + r.x * surface->format->BytesPerPixel;
  SDL_ConvertPixels(r.w, r.h, SDL_PIXELFORMAT_ARGB8888, framebuffer_.row(r.y) + r.x,
                    framebuffer_.width() * 4, surface->format->format, dst, surface->pitch);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_Rect sr{r.x, r.y, r.w, r.h};
  SDL_UpdateWindowSurfaceRects(Sdl(sdl_), &sr, 1);
}

void Window::AddSurface(int element, const canvas::Rect& rect) {
  RemoveSurface(element);
  surfaces_.push_back({element, rect});
}

void Window::RemoveSurface(int element) {
  std::erase_if(surfaces_, [&](const Surface& s) { return s.element == element; });
  if (hovered_ == element) hovered_ = 0;
}

std::optional<canvas::Rect> Window::SurfaceRect(int element) const {
  for (const Surface& s : surfaces_) {
    if (s.element == element) return s.rect;
  }
  return std::nullopt;
}

int Window::ElementAt(Point local) const {
  for (auto it = surfaces_.rbegin(); it != surfaces_.rend(); ++it) {
    if (it->rect.Contains(local.x, local.y)) return it->element;
  }
  return id_;
}

canvas::Canvas Window::BeginDraw(int element) {
  if (element == id_) return canvas::Canvas(framebuffer_);
  auto rect = SurfaceRect(element);
  return canvas::Canvas(framebuffer_, rect.value_or(canvas::Rect{}));
}

void Window::EndDraw(int element) {
  if (element == id_) {
    Present();
  } else if (auto rect = SurfaceRect(element)) {
    Present(*rect);
  }
}

Point Window::Position() const {
  ::Display* x = display_.impl_->x;
  unsigned long xw = XWindowOf(Sdl(sdl_));
  if (x && xw) {
    int rx = 0, ry = 0;
    ::Window child;
    if (XTranslateCoordinates(x, xw, DefaultRootWindow(x), 0, 0, &rx, &ry, &child)) {
      return {rx, ry};
    }
  }
  Point p;
  SDL_GetWindowPosition(Sdl(sdl_), &p.x, &p.y);
  return p;
}

void Window::MoveTo(Point screen) {
  SDL_SetWindowPosition(Sdl(sdl_), screen.x, screen.y);
}

void Window::SetOpacity(uint8_t alpha) {
  SDL_SetWindowOpacity(Sdl(sdl_), alpha / 255.0f);
}

void Window::SetAlwaysOnTop(bool on) {
  always_on_top_ = on;
  SDL_SetWindowAlwaysOnTop(Sdl(sdl_), on ? SDL_TRUE : SDL_FALSE);
}

void Window::Raise() {
  SDL_RaiseWindow(Sdl(sdl_));
}

void Window::Minimise() {
  SDL_MinimizeWindow(Sdl(sdl_));
}

void* Window::NativeHandle() const {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(XWindowOf(Sdl(sdl_))));
}

void Window::RunMoveLoop() {
  ::Display* x = display_.impl_->x;
  if (!x) {
    // Without X (Wayland) the compositor moves windows; follow SDL's global state instead.
    int sx, sy;
    Point start = Position();
    Uint32 buttons = SDL_GetGlobalMouseState(&sx, &sy);
    while (buttons & SDL_BUTTON_LMASK) {
      int cx, cy;
      SDL_PumpEvents();
      buttons = SDL_GetGlobalMouseState(&cx, &cy);
      MoveTo({start.x + cx - sx, start.y + cy - sy});
      SDL_Delay(5);
    }
  } else {
    ::Window root = DefaultRootWindow(x), r, c;
    int sx, sy, wx, wy;
    unsigned mask = 0;
    if (!XQueryPointer(x, root, &r, &c, &sx, &sy, &wx, &wy, &mask)) return;
    Point start = Position();
    Point last{sx, sy};
    while (mask & Button1Mask) {
      int cx, cy;
      if (!XQueryPointer(x, root, &r, &c, &cx, &cy, &wx, &wy, &mask)) break;
      if (Point{cx, cy} != last) {
        last = {cx, cy};
        MoveTo({start.x + cx - sx, start.y + cy - sy});
      }
      SDL_PumpEvents();  // keeps SDL's connection (and the window manager) answered
      SDL_Delay(5);
    }
  }
  // The moves and the release belong to the loop, not to the event source.
  SDL_PumpEvents();
  SDL_FlushEvent(SDL_MOUSEMOTION);
  SDL_FlushEvent(SDL_MOUSEBUTTONUP);
}

// ---- Display -----------------------------------------------------------------------------------

Display::Display() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<Display> Display::Open(std::string* error) {
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // SIGINT and SIGTERM keep their usual meaning (end the process); SDL would turn them into a
  // quit event, which nothing here asks for.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    if (error) *error = std::string("SDL_Init: ") + SDL_GetError();
    return nullptr;
  }
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
  SDL_EventState(SDL_DROPBEGIN, SDL_ENABLE);
  SDL_EventState(SDL_DROPCOMPLETE, SDL_ENABLE);
  SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
  SDL_StopTextInput();
  auto display = std::unique_ptr<Display>(new Display());
  display->impl_->main_thread = SDL_ThreadID();
  XSetErrorHandler(IgnoreXError);
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
    display->impl_->x = XOpenDisplay(nullptr);
  }
  return display;
}

Display::~Display() {
  {
    std::lock_guard lock(impl_->timer_mutex);
    for (auto& [key, t] : impl_->timers) SDL_RemoveTimer(t.sdl);
    impl_->timers.clear();
  }
  impl_->menu_font.reset();
  if (impl_->x) XCloseDisplay(impl_->x);
  SDL_Quit();
}

canvas::Rect Display::PrimaryScreen() const {
  SDL_Rect r{0, 0, 0, 0};
  if (SDL_GetDisplayBounds(0, &r) != 0) return {};
  return {r.x, r.y, r.w, r.h};
}

Point Display::CursorPosition() const {
  if (::Display* x = impl_->x) {
    ::Window r, c;
    int rx, ry, wx, wy;
    unsigned mask;
    if (XQueryPointer(x, DefaultRootWindow(x), &r, &c, &rx, &ry, &wx, &wy, &mask)) return {rx, ry};
  }
  Point p;
  SDL_GetGlobalMouseState(&p.x, &p.y);
  return p;
}

std::unique_ptr<Window> Display::OpenWindow(const WindowOptions& options) {
  if (options.width <= 0 || options.height <= 0) return nullptr;
  auto window = std::unique_ptr<Window>(new Window(*this, options));
  Point at =
      options.position.value_or(CenteredOrigin(PrimaryScreen(), options.width, options.height));
  Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
  if (options.always_on_top) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  SDL_Window* sdl =
      SDL_CreateWindow(options.title.c_str(), at.x, at.y, options.width, options.height, flags);
  if (!sdl) return nullptr;
  window->sdl_ = sdl;
  window->sdl_id_ = SDL_GetWindowID(sdl);
  SDL_SetWindowOpacity(sdl, options.opacity / 255.0f);
  impl_->windows.push_back(window.get());
  window->Present();
  return window;
}

Window* Display::FindBySdlId(uint32_t id) const {
  for (Window* w : impl_->windows) {
    if (w->sdl_id_ == id) return w;
  }
  return nullptr;
}

Window* Display::FindById(int id) const {
  for (Window* w : impl_->windows) {
    if (w->id_ == id) return w;
  }
  return nullptr;
}

bool Display::StartTimer(int window, int timer, uint32_t period_ms) {
  std::lock_guard lock(impl_->timer_mutex);
  auto& t = impl_->timers[{window, timer}];
  if (t.sdl) SDL_RemoveTimer(t.sdl);
  t.generation = impl_->next_generation++;
  t.sdl = SDL_AddTimer(std::max<uint32_t>(period_ms, 1), TimerTick,
                       reinterpret_cast<void*>(PackTimer(window, timer, t.generation)));
  if (!t.sdl) {
    impl_->timers.erase({window, timer});
    return false;
  }
  return true;
}

void Display::StopTimer(int window, int timer) {
  std::lock_guard lock(impl_->timer_mutex);
  auto it = impl_->timers.find({window, timer});
  if (it == impl_->timers.end()) return;
  SDL_RemoveTimer(it->second.sdl);
  impl_->timers.erase(it);
}

// Turns one SDL event into our events, appended to the pending queue. Answers whether any came.
bool Display::Translate(const void* raw, Event&) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  auto& out = impl_->pending;
  size_t before = out.size();
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN: {
      Window* w = FindBySdlId(e.button.windowID);
      if (!w || !w->enabled_) break;
      Event ev;
      if (e.button.button == SDL_BUTTON_LEFT) {
        ev.type = e.button.clicks >= 2 && e.button.clicks % 2 == 0 ? EventType::kLeftDoubleClick
                                                                   : EventType::kLeftPress;
      } else if (e.button.button == SDL_BUTTON_RIGHT) {
        ev.type = EventType::kRightPress;
      } else {
        break;
      }
      ev.window = w->id_;
      ev.local = {e.button.x, e.button.y};
      Point origin = w->Position();
      ev.screen = {origin.x + e.button.x, origin.y + e.button.y};
      ev.element = w->ElementAt(ev.local);
      out.push_back(ev);
      break;
    }
    case SDL_MOUSEMOTION: {
      Window* w = FindBySdlId(e.motion.windowID);
      if (!w) break;
      Point local{e.motion.x, e.motion.y};
      int under = w->ElementAt(local);
      if (under == w->id_) under = 0;
      Point origin = w->Position();
      Point screen{origin.x + local.x, origin.y + local.y};
      int was = w->hovered_;
      w->hovered_ = under;
      if (!w->enabled_) break;
      if (was != under && was != 0) {
        out.push_back(MakeEvent(EventType::kMouseLeave, w->id_, was, screen, local));
      }
      if (was != under && under != 0) {
        out.push_back(MakeEvent(EventType::kMouseEnter, w->id_, under, screen, local));
      }
      out.push_back(
          MakeEvent(EventType::kMouseMove, w->id_, under ? under : w->id_, screen, local));
      break;
    }
    case SDL_WINDOWEVENT: {
      Window* w = FindBySdlId(e.window.windowID);
      if (!w) break;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_LEAVE:
          if (w->hovered_ != 0) {
            int was = w->hovered_;
            w->hovered_ = 0;
            if (w->enabled_) out.push_back(MakeEvent(EventType::kMouseLeave, w->id_, was));
          }
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          w->Present();
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          out.push_back(MakeEvent(EventType::kMinimised, w->id_, w->id_));
          break;
        case SDL_WINDOWEVENT_RESTORED:
          out.push_back(MakeEvent(EventType::kRestored, w->id_, w->id_));
          break;
        case SDL_WINDOWEVENT_CLOSE:
          out.push_back(MakeEvent(EventType::kCloseRequest, w->id_, w->id_));
          break;
        default:
          break;
      }
      break;
    }
    case SDL_KEYDOWN: {
      Window* w = FindBySdlId(e.key.windowID);
      if (!w || !w->enabled_) break;
      int key = KeyCode(e.key.keysym.sym);
      Uint16 mod = e.key.keysym.mod;
      if (!key || (mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI))) break;
      bool shift = (mod & KMOD_SHIFT) != 0;
      for (const Accelerator& a : w->accelerators_) {
        if (a.key == key && a.shift == shift) {
          Event ev = MakeEvent(EventType::kCommand, w->id_, w->id_);
          ev.command = a.command;
          out.push_back(ev);
          break;
        }
      }
      break;
    }
    case SDL_DROPBEGIN:
      impl_->dropping = true;
      impl_->drop_window = e.drop.windowID;
      impl_->drop_text.clear();
      break;
    case SDL_DROPFILE: {
      std::string path = e.drop.file ? e.drop.file : "";
      SDL_free(e.drop.file);
      // A folder comes with or without a trailing slash, depending on the source: give it
      // without, as a file name would be.
      while (path.size() > 1 && path.back() == '/') path.pop_back();
      if (!impl_->dropping) impl_->drop_window = e.drop.windowID;
      if (!impl_->drop_text.empty()) impl_->drop_text += '\n';
      impl_->drop_text += path;
      if (impl_->dropping) break;
      [[fallthrough]];  // a drop without begin and complete (older SDL): deliver each at once
    }
    case SDL_DROPCOMPLETE: {
      Window* w = FindBySdlId(impl_->drop_window ? impl_->drop_window : e.drop.windowID);
      if (w && w->accepts_drops_ && !impl_->drop_text.empty()) {
        Event ev = MakeEvent(EventType::kFilesDropped, w->id_, w->id_);
        ev.text = std::move(impl_->drop_text);
        out.push_back(std::move(ev));
      }
      impl_->drop_text.clear();
      impl_->dropping = false;
      impl_->drop_window = 0;
      break;
    }
    case SDL_USEREVENT: {
      int window = static_cast<int>(reinterpret_cast<uintptr_t>(e.user.data1));
      int timer = e.user.code;
      auto generation = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(e.user.data2));
      {
        std::lock_guard lock(impl_->timer_mutex);
        auto it = impl_->timers.find({window, timer});
        if (it == impl_->timers.end() || it->second.generation != generation) break;
      }
      Event ev = MakeEvent(EventType::kTimer, window, window);
      ev.timer = timer;
      out.push_back(ev);
      break;
    }
    default:
      break;
  }
  return out.size() > before;
}

Event Display::WaitEvent() {
  while (impl_->pending.empty()) {
    SDL_Event e;
    if (!SDL_WaitEvent(&e)) continue;
    Event unused;
    Translate(&e, unused);
  }
  Event ev = std::move(impl_->pending.front());
  impl_->pending.pop_front();
  return ev;
}

Event Display::WaitEvent(uint32_t timeout_ms) {
  uint64_t deadline = MonotonicMs() + timeout_ms;
  while (impl_->pending.empty()) {
    uint64_t now = MonotonicMs();
    if (now >= deadline) {
      // One last look at what is already queued.
      SDL_Event e;
      while (impl_->pending.empty() && SDL_PollEvent(&e)) {
        Event unused;
        Translate(&e, unused);
      }
      if (impl_->pending.empty()) return Event{};
      break;
    }
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, static_cast<int>(deadline - now))) {
      Event unused;
      Translate(&e, unused);
    }
  }
  Event ev = std::move(impl_->pending.front());
  impl_->pending.pop_front();
  return ev;
}

// ---- Popup menu ----

int Display::ShowPopupMenu(Window& owner, Point screen, const std::vector<MenuItem>& items) {
  if (items.empty()) return 0;
  if (!impl_->menu_font) impl_->menu_font = Font::Load("Open Sans", 10);
  const Font* font = impl_->menu_font.get();
  constexpr int kPad = 10, kRowH = 24;
  int width = 120;
  for (const MenuItem& item : items) {
    if (font) width = std::max(width, font->TextWidth(item.text) + 2 * kPad);
  }
  int height = static_cast<int>(items.size()) * kRowH + 2;
  SDL_Window* sdl = SDL_CreateWindow(
      "menu", screen.x, screen.y, width, height,
      SDL_WINDOW_BORDERLESS | SDL_WINDOW_POPUP_MENU | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SHOWN);
  if (!sdl) return 0;
  Uint32 sdl_id = SDL_GetWindowID(sdl);
  const canvas::Color kFace = canvas::Rgb(0xF2F2F2), kEdge = canvas::Rgb(0x8A8A8A),
                      kHot = canvas::Rgb(0x3F424E), kText = canvas::Rgb(0x202020),
                      kHotText = canvas::Rgb(0xEDEDF6);
  canvas::Bitmap pixels(width, height);
  int hot = -1;
  auto draw = [&] {
    canvas::Canvas c(pixels);
    c.FillRect(pixels.bounds(), kEdge);
    c.FillRect({1, 1, width - 2, height - 2}, kFace);
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      int y = 1 + i * kRowH;
      if (i == hot) c.FillRect({1, y, width - 2, kRowH}, kHot);
      if (font) {
        c.Text(kPad, y + (kRowH - font->LineHeight()) / 2, items[i].text, *font,
               i == hot ? kHotText : kText);
      }
    }
    SDL_Surface* s = SDL_GetWindowSurface(sdl);
    if (!s) return;
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4,
                      s->format->format, s->pixels, s->pitch);
    SDL_UpdateWindowSurface(sdl);
  };
  draw();
  auto item_at = [&](int y) {
    int i = (y - 1) / kRowH;
    return y >= 1 && i < static_cast<int>(items.size()) ? i : -1;
  };
  int chosen = 0;
  bool open = true;
  while (open) {
    SDL_Event e;
    if (!SDL_WaitEvent(&e)) continue;
    switch (e.type) {
      case SDL_MOUSEMOTION:
        if (e.motion.windowID == sdl_id) {
          int now = item_at(e.motion.y);
          if (now != hot) {
            hot = now;
            draw();
          }
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.windowID == sdl_id) {
          int i = item_at(e.button.y);
          if (i >= 0) chosen = items[static_cast<size_t>(i)].command;
        }
        open = false;  // a press anywhere else dismisses the menu
        break;
      case SDL_KEYDOWN:
        if (e.key.keysym.sym == SDLK_ESCAPE) open = false;
        if (e.key.keysym.sym == SDLK_RETURN && hot >= 0) {
          chosen = items[static_cast<size_t>(hot)].command;
          open = false;
        }
        break;
      case SDL_WINDOWEVENT:
        if (e.window.windowID == sdl_id && e.window.event == SDL_WINDOWEVENT_EXPOSED) draw();
        if (e.window.windowID != sdl_id) {
          Event unused;
          Translate(&e, unused);
        }
        break;
      default: {
        Event unused;
        Translate(&e, unused);  // timers and drops wait in our queue, in order
        break;
      }
    }
  }
  SDL_DestroyWindow(sdl);
  SDL_PumpEvents();
  SDL_FlushEvent(SDL_MOUSEBUTTONUP);
  if (chosen) {
    Event ev = MakeEvent(EventType::kCommand, owner.id_, owner.id_);
    ev.command = chosen;
    impl_->pending.push_back(ev);
  }
  return chosen;
}

// ---- Dialog programs ----

namespace {

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  std::string_view rest(path);
  while (!rest.empty()) {
    size_t colon = rest.find(':');
    std::string dir(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0 && FileSize(candidate) >= 0) return candidate;
  }
  return "";
}

// Each pattern in lower and upper case ("*.dsf" -> "*.dsf", "*.DSF"), without repeats.
std::vector<std::string> BothCases(const std::vector<std::string>& patterns) {
  std::vector<std::string> out;
  for (const std::string& p : patterns) {
    std::string lower = p, upper = p;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& v : {p, lower, upper}) {
      if (std::find(out.begin(), out.end(), v) == out.end()) out.push_back(v);
    }
  }
  return out;
}

}  // namespace

// Makes a zenity dialog modal for our window (on the main thread, where the window may be
// asked for its handle).
void Display::AttachTo(Window* parent, std::vector<std::string>& args) const {
  if (!parent || SDL_ThreadID() != impl_->main_thread) return;
  auto xid = reinterpret_cast<uintptr_t>(parent->NativeHandle());
  if (!xid) return;
  args.push_back("--modal");
  args.push_back("--attach=" + std::to_string(xid));
}

// Runs a dialog program and collects its standard output; answers its exit status (-1 when it
// could not run or ended by a signal). On the main thread our windows stay painted meanwhile and
// input meant for them is dropped, as a modal dialog's owner gets none; other threads just wait.
int Display::RunDialogProgram(std::vector<std::string> args, std::string* output) {
  const bool main_thread = SDL_ThreadID() == impl_->main_thread;
  int out_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  if (spawned != 0) {
    close(out_pipe[0]);
    return -1;
  }
  for (;;) {
    pollfd p{out_pipe[0], POLLIN, 0};
    int r = poll(&p, 1, 50);
    if (r > 0) {
      char buf[4096];
      ssize_t n = read(out_pipe[0], buf, sizeof(buf));
      if (n > 0) {
        if (output) output->append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      break;  // end of output
    }
    if (r < 0 && errno != EINTR) break;
    if (main_thread) {
      SDL_PumpEvents();
      SDL_Event e;
      while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT) > 0) {
        Event unused;
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) Translate(&e, unused);
      }
      SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL);
    }
  }
  close(out_pipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- Message box ----

void Display::ShowMessageBox(Window* parent, const std::string& title, const std::string& text,
                             MessageIcon icon) {
  // zenity first: SDL's own box on X11 draws from a child forked off this (threaded) process,
  // which was seen to hang now and then before the box appeared.
  if (std::string zenity = FindOnPath("zenity"); !zenity.empty()) {
    const char* kind = icon == MessageIcon::kError ? "--error" : "--info";
    std::vector<std::string> args = {zenity, kind, "--no-markup", "--title=" + title,
                                     "--text=" + text};
    if (icon == MessageIcon::kNone) args.push_back("--icon-name=");
    AttachTo(parent, args);
    if (RunDialogProgram(args, nullptr) >= 0) return;
  }
  SDL_MessageBoxButtonData ok{};
  ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  ok.buttonid = 1;
  ok.text = "OK";
  SDL_MessageBoxData data{};
  data.flags = icon == MessageIcon::kError         ? SDL_MESSAGEBOX_ERROR
               : icon == MessageIcon::kInformation ? SDL_MESSAGEBOX_INFORMATION
                                                   : 0;
  data.window = parent && SDL_ThreadID() == impl_->main_thread ? Sdl(parent->sdl_) : nullptr;
  data.title = title.c_str();
  data.message = text.c_str();
  data.numbuttons = 1;
  data.buttons = &ok;
  int pressed = 0;
  SDL_ShowMessageBox(&data, &pressed);
}

// ---- Open-files dialog ----

std::vector<std::string> Display::OpenFilesDialog(Window* parent, const std::string& title,
                                                  const std::string& filter_name,
                                                  const std::vector<std::string>& patterns) {
  std::string globs;
  for (const std::string& p : BothCases(patterns)) globs += (globs.empty() ? "" : " ") + p;
  std::vector<std::string> args;
  if (std::string zenity = FindOnPath("zenity"); !zenity.empty()) {
    args = {zenity,           "--file-selection", "--multiple",
            "--separator=\n", "--title=" + title, "--file-filter=" + filter_name + " | " + globs};
    AttachTo(parent, args);
  } else if (std::string kdialog = FindOnPath("kdialog"); !kdialog.empty()) {
    args = {kdialog, "--getopenfilename",      "--multiple", "--separate-output", "--title", title,
            ".",     globs + "|" + filter_name};
  } else {
    ShowMessageBox(parent, title,
                   "No file dialog program was found. Please install the package \"zenity\".",
                   MessageIcon::kError);
    return {};
  }

  // Windows kept on top would cover the dialog.
  std::vector<Window*> lowered;
  for (Window* w : impl_->windows) {
    if (w->always_on_top_) {
      SDL_SetWindowAlwaysOnTop(Sdl(w->sdl_), SDL_FALSE);
      lowered.push_back(w);
    }
  }
  std::string output;
  std::vector<std::string> chosen;
  if (RunDialogProgram(args, &output) == 0) {
    size_t at = 0;
    while (at < output.size()) {
      size_t eol = output.find('\n', at);
      std::string line = output.substr(at, eol == std::string::npos ? eol : eol - at);
      if (!line.empty()) chosen.push_back(line);
      if (eol == std::string::npos) break;
      at = eol + 1;
    }
  }
  for (Window* w : lowered) SDL_SetWindowAlwaysOnTop(Sdl(w->sdl_), SDL_TRUE);
  return chosen;
}

}  // namespace platform
