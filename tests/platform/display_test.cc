// Windows and the event source under a real X server (Xvfb with openbox), driven with xdotool
// and a real XDND drag source, the way a person or a file manager would.
#include "platform/display.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/system.h"
#include "tests/platform/x_session.h"

using namespace platform;
using axtest::WaitUntil;
namespace fs = std::filesystem;

namespace {

constexpr int kMain = 20;
const canvas::Color kWindowColour = canvas::Rgb(0x697B82);

std::string Xdo(const std::string& args) {
  return "xdotool " + args;
}

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    alarm(300);  // a hung test ends itself (and its X server with it)
    uint64_t start = MonotonicMs();
    session_ = std::make_unique<axtest::XSession>(1024, 768);
    ASSERT_TRUE(session_->ok()) << session_->error();
    std::string error;
    display_ = Display::Open(&error);
    ASSERT_TRUE(display_) << error;
    axtest::PinLoadedLibraries();
    std::fprintf(stderr, "X session and display ready after %llu ms\n",
                 static_cast<unsigned long long>(MonotonicMs() - start));
  }
  void TearDown() override {
    axtest::PinLoadedLibraries();  // including those loaded since SetUp
    display_.reset();
    session_.reset();
  }

  // Opens the player-shaped window with two surfaces and waits until it is on screen.
  std::unique_ptr<Window> OpenMain(WindowOptions o = {}) {
    if (o.id == 0) {
      o.id = kMain;
      o.title = "Ardent X";
      o.width = 484;
      o.height = 820;
      o.background = kWindowColour;
    }
    auto w = display_->OpenWindow(o);
    EXPECT_TRUE(w);
    if (!w) return nullptr;
    w->AddSurface(33, {10, 700, 64, 26});    // a button
    w->AddSurface(67, {20, 130, 444, 300});  // a list
    Hex(w.get());
    EXPECT_EQ(axtest::Run(Xdo("search --sync --onlyvisible --pid " + std::to_string(getpid()) +
                              " > /dev/null")),
              0);
    return w;
  }

  std::string Hex(Window* w) {
    return std::to_string(reinterpret_cast<uintptr_t>(w->NativeHandle()));
  }

  // Waits for the first event that `match` accepts; other events are passed to `skipped`.
  std::optional<Event> Expect(std::function<bool(const Event&)> match, int timeout_s = 20) {
    uint64_t end = MonotonicMs() + static_cast<uint64_t>(timeout_s) * 1000;
    while (MonotonicMs() < end) {
      Event e = display_->WaitEvent(50);
      if (e.type == EventType::kNone) continue;
      if (match(e)) return e;
      skipped_.push_back(e);
    }
    return std::nullopt;
  }
  std::optional<Event> Expect(EventType type, int timeout_s = 20) {
    return Expect([type](const Event& e) { return e.type == type; }, timeout_s);
  }
  // Handles events for a while, so that the window is exposed and painted.
  void Pump(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
      Event e = display_->WaitEvent(20);
      if (e.type != EventType::kNone) skipped_.push_back(e);
    }
  }

  // The screen's pixels in a rectangle, read from the X server.
  canvas::Bitmap Screen(canvas::Rect r) {
    canvas::Bitmap out(r.w, r.h);
    std::vector<uint32_t> rgb = axtest::ScreenPixels(r.x, r.y, r.w, r.h);
    if (rgb.size() != static_cast<size_t>(r.w) * r.h) return out;
    for (int y = 0; y < r.h; ++y) {
      for (int x = 0; x < r.w; ++x)
        out.Set(x, y, canvas::Rgb(rgb[static_cast<size_t>(y) * r.w + x]));
    }
    return out;
  }

  std::unique_ptr<axtest::XSession> session_;
  std::unique_ptr<Display> display_;
  std::vector<Event> skipped_;
};

canvas::Bitmap Opaque(const canvas::Bitmap& b) {
  canvas::Bitmap out = b;
  for (int y = 0; y < out.height(); ++y) {
    for (int x = 0; x < out.width(); ++x) out.Set(x, y, out.Get(x, y) | 0xFF000000u);
  }
  return out;
}

}  // namespace

TEST(Placement, CentredAndClampedToTheScreenOrigin) {
  struct Case {
    canvas::Rect screen;
    Point expected;
  } cases[] = {
      {{0, 0, 1920, 1080}, {718, 130}},
      {{0, 0, 1024, 768}, {270, 0}},  // lower than the window: top edge at the top
      {{0, 0, 400, 900}, {0, 40}},    // narrower: left edge at the left
      {{0, 0, 300, 600}, {0, 0}},
      {{100, 50, 1000, 1000}, {358, 140}},
      {{100, 50, 400, 400}, {100, 50}},  // clamped to the screen's own origin
  };
  for (const Case& c : cases) EXPECT_EQ(CenteredOrigin(c.screen, 484, 820), c.expected);
}

TEST_F(DisplayTest, WindowIsCentredAndShowsItsFramebufferExactly) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  EXPECT_EQ(display_->PrimaryScreen(), (canvas::Rect{0, 0, 1024, 768}));
  EXPECT_EQ(w->Position(), (Point{270, 0}));

  // A drawing pass on a surface shows on the screen, pixel for pixel, and nothing else moves.
  {
    canvas::Canvas c = w->BeginDraw(33);
    c.FillRect({0, 0, 64, 26}, canvas::Rgb(0x3F424E));
    c.Line(0, 0, 63, 25, canvas::Rgb(0xC1CED1));
    c.FillCircle(100, 5, 3, canvas::Rgb(0xFF0000));  // outside the surface: clipped
    w->EndDraw(33);
  }
  EXPECT_EQ(w->framebuffer().Get(74, 705), kWindowColour);
  canvas::Bitmap expected = Opaque(w->framebuffer());
  ASSERT_TRUE(WaitUntil([&] {
    Pump(1);
    return Screen({270, 0, 484, 768}) == canvas::Crop(expected, {0, 0, 484, 768});
  }));

  // Opacity is the window's _NET_WM_WINDOW_OPACITY (0 = invisible under a compositor).
  std::string out;
  w->SetOpacity(0);
  Pump(2);
  ASSERT_EQ(axtest::Run("xprop -id " + Hex(w.get()) + " _NET_WM_WINDOW_OPACITY", &out), 0);
  EXPECT_NE(out.find("= 0"), std::string::npos) << out;
  w->SetOpacity(255);
  Pump(2);
  ASSERT_EQ(axtest::Run("xprop -id " + Hex(w.get()) + " _NET_WM_WINDOW_OPACITY", &out), 0);
  // Fully opaque: the property says so, or is gone (which means the same).
  EXPECT_TRUE(out.find("4294967295") != std::string::npos ||
              out.find("not found") != std::string::npos)
      << out;
}

TEST_F(DisplayTest, PressesCarryTheElementAndScreenPosition) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  Point origin = w->Position();
  struct Case {
    Point local;
    int button;
    EventType type;
    int element;
  } cases[] = {
      {{15, 705}, 1, EventType::kLeftPress, 33},
      {{200, 200}, 1, EventType::kLeftPress, 67},
      {{3, 3}, 1, EventType::kLeftPress, kMain},  // the frame belongs to the window
      {{100, 140}, 3, EventType::kRightPress, 67},
  };
  for (const Case& c : cases) {
    Point at{origin.x + c.local.x, origin.y + c.local.y};
    ASSERT_EQ(axtest::Run(Xdo("mousemove --sync " + std::to_string(at.x) + " " +
                              std::to_string(at.y) + " click " + std::to_string(c.button))),
              0);
    auto e = Expect([](const Event& e) {
      return e.type == EventType::kLeftPress || e.type == EventType::kRightPress;
    });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->type, c.type);
    EXPECT_EQ(e->element, c.element);
    EXPECT_EQ(e->window, kMain);
    EXPECT_EQ(e->screen, at);
    EXPECT_EQ(e->local, c.local);
    EXPECT_EQ(display_->CursorPosition(), at);
    usleep(600000);  // keep the next press from joining this one into a double click
  }

  // A double click: a press, then a double-click event, never two presses.
  ASSERT_EQ(axtest::Run(Xdo("click --repeat 2 --delay 80 1")), 0);
  auto first = Expect([](const Event& e) {
    return e.type == EventType::kLeftPress || e.type == EventType::kLeftDoubleClick;
  });
  auto second = Expect([](const Event& e) {
    return e.type == EventType::kLeftPress || e.type == EventType::kLeftDoubleClick;
  });
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->type, EventType::kLeftPress);
  EXPECT_EQ(second->type, EventType::kLeftDoubleClick);

  // A disabled window drops presses.
  w->SetEnabled(false);
  usleep(600000);
  skipped_.clear();
  ASSERT_EQ(axtest::Run(Xdo("click 1")), 0);
  Pump(30);
  w->SetEnabled(true);
  for (const Event& e : skipped_) {
    EXPECT_NE(e.type, EventType::kLeftPress) << "a press reached a disabled window";
  }
}

TEST_F(DisplayTest, EnterAndLeavePerSurface) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  w->AddSurface(34, {10, 736, 64, 26});
  Point o = w->Position();
  auto move = [&](int x, int y) {
    return axtest::Run(
        Xdo("mousemove --sync " + std::to_string(o.x + x) + " " + std::to_string(o.y + y)));
  };
  auto hover = [](const Event& e) {  // the list (67) may be crossed on the way
    return (e.type == EventType::kMouseEnter || e.type == EventType::kMouseLeave) &&
           e.element != 67;
  };
  ASSERT_EQ(move(300, 790), 0);  // on the window, no surface
  ASSERT_EQ(move(20, 710), 0);   // onto 33
  auto e = Expect(hover);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->type, EventType::kMouseEnter);
  EXPECT_EQ(e->element, 33);
  ASSERT_EQ(move(20, 745), 0);  // straight onto 34: leave 33, then enter 34
  e = Expect(hover);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->type, EventType::kMouseLeave);
  EXPECT_EQ(e->element, 33);
  e = Expect(hover);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->type, EventType::kMouseEnter);
  EXPECT_EQ(e->element, 34);
  ASSERT_EQ(axtest::Run(Xdo("mousemove --sync 1000 700")), 0);  // off the window altogether
  e = Expect(hover);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->type, EventType::kMouseLeave);
  EXPECT_EQ(e->element, 34);
}

TEST_F(DisplayTest, AcceleratorsFireOnlyWithTheirShiftState) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  w->SetAccelerators({{keys::kSpace, false, 200},
                      {'N', false, 201},
                      {keys::kUp, false, 205},
                      {keys::kUp, true, 209},
                      {keys::kEnter, false, 206},
                      {keys::kDelete, false, 204}});
  ASSERT_EQ(axtest::Run(Xdo("windowactivate --sync " + Hex(w.get()))), 0);
  struct Case {
    const char* keys;
    int command;  // 0: nothing must come
  } cases[] = {{"space", 200}, {"n", 201},      {"shift+n", 0}, {"Up", 205},     {"shift+Up", 209},
               {"ctrl+n", 0},  {"Delete", 204}, {"x", 0},       {"Return", 206}, {"KP_Enter", 206}};
  for (const Case& c : cases) {
    ASSERT_EQ(axtest::Run(Xdo(std::string("key --clearmodifiers ") + c.keys + " key F12")), 0);
    // F12 is no accelerator; the marker "period" follows so we know the key has been handled.
    ASSERT_EQ(axtest::Run(Xdo("key Delete")), 0);
    auto e = Expect(EventType::kCommand);
    ASSERT_TRUE(e) << c.keys;
    if (c.command) {
      EXPECT_EQ(e->command, c.command) << c.keys;
      auto marker = Expect(EventType::kCommand);
      ASSERT_TRUE(marker);
      EXPECT_EQ(marker->command, 204);
    } else {
      EXPECT_EQ(e->command, 204) << c.keys << " fired a command";
    }
  }
}

TEST_F(DisplayTest, MoveLoopFollowsThePointerUntilRelease) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  Point start = w->Position();
  Point grab{start.x + 200, start.y + 60};
  ASSERT_EQ(axtest::Run(Xdo("mousemove --sync " + std::to_string(grab.x) + " " +
                            std::to_string(grab.y) + " mousedown 1")),
            0);
  auto press = Expect(EventType::kLeftPress);
  ASSERT_TRUE(press);
  // Another thread plays the hand: moves the pointer, waits until the window has followed,
  // then lets go.
  std::string id = Hex(w.get());
  std::atomic<bool> followed{false};
  std::thread hand([&] {
    axtest::Run(Xdo("mousemove --sync " + std::to_string(grab.x - 150) + " " +
                    std::to_string(grab.y + 40)));
    followed = WaitUntil([&] {
      std::string out;
      axtest::Run(Xdo("getwindowgeometry " + id), &out);
      return out.find("Position: " + std::to_string(start.x - 150) + "," +
                      std::to_string(start.y + 40)) != std::string::npos;
    });
    axtest::Run(Xdo("mouseup 1"));
  });
  w->RunMoveLoop();
  hand.join();
  EXPECT_TRUE(followed.load());
  EXPECT_EQ(w->Position(), (Point{start.x - 150, start.y + 40}));
  EXPECT_EQ(display_->CursorPosition(), (Point{grab.x - 150, grab.y + 40}));
}

TEST_F(DisplayTest, TimersFromAnotherThreadAndTheirEnd) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  std::thread other([&] { EXPECT_TRUE(display_->StartTimer(kMain, 119, 20)); });
  other.join();
  for (int i = 0; i < 3; ++i) {
    auto e = Expect(EventType::kTimer);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->timer, 119);
    EXPECT_EQ(e->window, kMain);
  }
  // Restarting replaces it; stopping ends it, including ticks already queued.
  ASSERT_TRUE(display_->StartTimer(kMain, 117, 10));
  ASSERT_TRUE(display_->StartTimer(kMain, 117, 10));
  usleep(100000);  // let ticks pile up in the queue
  display_->StopTimer(kMain, 119);
  display_->StopTimer(kMain, 117);
  for (int i = 0; i < 20; ++i) {
    Event e = display_->WaitEvent(10);
    EXPECT_NE(e.type, EventType::kTimer) << "tick of timer " << e.timer << " after its stop";
  }
}

TEST_F(DisplayTest, MinimiseRestoreAndCloseRequest) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  std::string id = Hex(w.get());
  ASSERT_EQ(axtest::Run(Xdo("windowminimize --sync " + id)), 0);
  ASSERT_TRUE(Expect(EventType::kMinimised));
  ASSERT_EQ(axtest::Run(Xdo("windowactivate --sync " + id)), 0);
  ASSERT_TRUE(Expect(EventType::kRestored));
  ASSERT_EQ(axtest::Run(Xdo("key --clearmodifiers alt+F4")), 0);
  auto e = Expect(EventType::kCloseRequest);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->window, kMain);
}

TEST_F(DisplayTest, DroppedFilesAndFoldersArriveAsOneText) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  w->AcceptDrops(true);
  fs::path dir = fs::path(session_->home()) / "music";
  fs::create_directories(dir / "Vol 2");
  std::ofstream(dir / "a b.dsf") << "x";
  std::ofstream(dir / "c.DFF") << "x";
  Point o = w->Position();
  std::string at = std::to_string(o.x + 200) + " " + std::to_string(o.y + 200);
  std::string source = std::string(AX_XDND_SOURCE) + " " + Hex(w.get()) + " " + at + " ";
  std::string base = "file://" + dir.string();
  struct Case {
    std::string uris;
    std::string text;
  } cases[] = {
      {base + "/a%20b.dsf " + base + "/c.DFF",
       dir.string() + "/a b.dsf\n" + dir.string() + "/c.DFF"},
      {base + "/Vol%202", dir.string() + "/Vol 2"},
      {base + "/Vol%202/", dir.string() + "/Vol 2"},  // a trailing slash is not kept
  };
  for (const Case& c : cases) {
    std::atomic<int> status{-5};
    std::thread drag([&] { status = axtest::Run(source + c.uris); });
    auto e = Expect(EventType::kFilesDropped);
    drag.join();
    EXPECT_EQ(status.load(), 0);
    ASSERT_TRUE(e) << c.uris;
    EXPECT_EQ(e->text, c.text);
    EXPECT_EQ(e->window, kMain);
  }
  // A window that does not take drops gets none, though the drag itself completes.
  w->AcceptDrops(false);
  std::atomic<bool> done{false};
  std::atomic<int> rc{-5};
  std::thread drag([&] {
    rc = axtest::Run(source + base + "/c.DFF");
    done = true;
  });
  while (!done) Pump(1);
  drag.join();
  Pump(10);
  EXPECT_EQ(rc.load(), 0);
  for (const Event& e : skipped_) EXPECT_NE(e.type, EventType::kFilesDropped);
  // A drag source that gives up and vanishes before we answer must not take the program with
  // it: our late answer to its window is an X error, which Xlib would make fatal by default.
  w->AcceptDrops(true);
  std::thread quitter([&] { axtest::Run("AX_XDND_TIMEOUT_MS=300 " + source + base + "/c.DFF"); });
  quitter.join();  // we do not look at events meanwhile
  Pump(20);
  Point cursor = display_->CursorPosition();  // the X connections still work
  EXPECT_GE(cursor.x, 0);
}

TEST_F(DisplayTest, PopupMenuItemArrivesAsACommand) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  Point o = w->Position();
  const std::vector<MenuItem> items = {{213, "Sort by name"}, {214, "Sort by random"}};
  for (int button : {1, 3}) {  // either button chooses
    Point at{o.x + 200, o.y + 200};
    ASSERT_EQ(
        axtest::Run(Xdo("mousemove --sync " + std::to_string(at.x) + " " + std::to_string(at.y))),
        0);
    // The hand: once the menu is up, click its second row (again, should a click come before
    // the menu could take it).
    std::atomic<bool> returned{false};
    std::thread hand([&] {
      axtest::Run(Xdo("search --sync --onlyvisible --name '^menu$'"));
      for (int attempt = 0; attempt < 5 && !returned; ++attempt) {
        axtest::Run(Xdo("mousemove --sync " + std::to_string(at.x + 30) + " " +
                        std::to_string(at.y + 1 + 24 + 12) + " click " + std::to_string(button)));
        WaitUntil([&] { return returned.load(); }, 3);
      }
    });
    int chosen = display_->ShowPopupMenu(*w, {at.x - 1, at.y - 1}, items);
    returned = true;
    hand.join();
    EXPECT_EQ(chosen, 214);
    auto e = Expect(EventType::kCommand);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->command, 214);
    EXPECT_EQ(e->window, kMain);
    usleep(600000);
  }
  // A press outside dismisses it with no command.
  std::atomic<bool> returned{false};
  std::thread hand([&] {
    axtest::Run(Xdo("search --sync --onlyvisible --name '^menu$'"));
    for (int attempt = 0; attempt < 5 && !returned; ++attempt) {
      axtest::Run(Xdo("mousemove --sync " + std::to_string(o.x + 30) + " " +
                      std::to_string(o.y + 790) + " click 1"));
      WaitUntil([&] { return returned.load(); }, 3);
    }
  });
  EXPECT_EQ(display_->ShowPopupMenu(*w, {o.x + 100, o.y + 100}, items), 0);
  returned = true;
  hand.join();
}

TEST_F(DisplayTest, MessageBoxBlocksUntilClosed) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  std::atomic<bool> closed{false};
  std::thread reader([&] {  // the reading thread may report errors too
    display_->ShowMessageBox(nullptr, "Error", "Decoder error 41", MessageIcon::kError);
    closed = true;
  });
  // The box is found by its title in the window tree.
  std::string id, tree;
  ASSERT_TRUE(WaitUntil([&] {
    axtest::Run("xwininfo -root -tree", &tree);
    size_t at = tree.find("\"Error\": (");
    if (at == std::string::npos) return false;
    size_t start = tree.rfind("0x", at);
    id = tree.substr(start, tree.find(' ', start) - start);
    return true;
  })) << tree;
  EXPECT_FALSE(closed.load());
  ASSERT_TRUE(WaitUntil([&] {
    axtest::Run(Xdo("windowactivate " + id), nullptr, 5);
    axtest::Run(Xdo("key Return"), nullptr, 5);
    usleep(100000);
    return closed.load();
  }));
  reader.join();
}

TEST_F(DisplayTest, FileDialogAnswersTheChosenPathsInOrder) {
  auto w = OpenMain(WindowOptions{kMain, "Ardent X", 484, 820, kWindowColour, true, 255, {}});
  ASSERT_TRUE(w);
  // A stand-in for zenity, first on PATH: it records its arguments and whether our window was
  // still kept on top while it ran, then answers like the real one.
  fs::path bin = fs::path(session_->home()) / "bin";
  fs::create_directories(bin);
  fs::path args = bin / "args", above = bin / "above";
  std::ofstream(bin / "zenity") << "#!/bin/sh\n"
                                   "for a in \"$@\"; do echo \"$a\" >> '" +
                                       args.string() +
                                       "'; done\n"
                                       "xprop -id " +
                                       Hex(w.get()) + " _NET_WM_STATE > '" + above.string() +
                                       "'\n"
                                       "[ -n \"$CANCEL\" ] && exit 1\n"
                                       "printf '/music/b side.dsf\\n/music/a.DFF\\n'\n";
  fs::permissions(bin / "zenity", fs::perms::owner_all);
  std::string path = bin.string() + ":" + getenv("PATH");
  setenv("PATH", path.c_str(), 1);

  auto chosen = display_->OpenFilesDialog(w.get(), "Open", "DSD audio", {"*.dsf", "*.dff"});
  EXPECT_EQ(chosen, (std::vector<std::string>{"/music/b side.dsf", "/music/a.DFF"}));
  std::ifstream in(args);
  std::vector<std::string> got;
  for (std::string line; std::getline(in, line);) got.push_back(line);
  EXPECT_EQ(got, (std::vector<std::string>{"--file-selection", "--multiple", "--separator=", "",
                                           "--title=Open",
                                           "--file-filter=DSD audio | *.dsf *.DSF *.dff *.DFF",
                                           "--modal", "--attach=" + Hex(w.get())}));
  std::ifstream state(above);
  std::string during((std::istreambuf_iterator<char>(state)), {});
  EXPECT_EQ(during.find("ABOVE"), std::string::npos) << "still on top during the dialog";
  std::string after;
  ASSERT_TRUE(WaitUntil([&] {
    Pump(1);
    axtest::Run("xprop -id " + Hex(w.get()) + " _NET_WM_STATE", &after);
    return after.find("ABOVE") != std::string::npos;
  })) << after;

  setenv("CANCEL", "1", 1);
  EXPECT_TRUE(display_->OpenFilesDialog(w.get(), "Open", "DSD audio", {"*.dsf"}).empty());
  unsetenv("CANCEL");
}

TEST_F(DisplayTest, RealFileDialogOffersOnlyTheFilteredFiles) {
  auto w = OpenMain();
  ASSERT_TRUE(w);
  fs::path dir = fs::path(session_->home()) / "tracks";
  fs::create_directories(dir);
  for (const char* name : {"a.dsf", "B.DFF", "c.txt"}) std::ofstream(dir / name) << "x";
  // The hand: go to the folder, select everything shown, accept. GTK completes and lists
  // asynchronously, so the hand pauses between steps and starts over if the dialog stays.
  std::atomic<bool> returned{false};
  std::thread hand([&] {
    std::string id;
    axtest::Run(Xdo("search --sync --onlyvisible --name '^Open tracks$'"), &id);
    id = id.substr(0, id.find('\n'));
    for (int attempt = 0; attempt < 3 && !returned; ++attempt) {
      axtest::Run(Xdo("windowactivate --sync " + id), nullptr, 5);
      axtest::Run(Xdo("key --clearmodifiers ctrl+l"));
      usleep(300000);
      axtest::Run(Xdo("type --delay 30 '" + dir.string() + "/'"));
      usleep(700000);
      axtest::Run(Xdo("key Delete"));  // whatever the completion offered
      usleep(300000);
      axtest::Run(Xdo("key Return"));
      usleep(1000000);
      axtest::Run(Xdo("key --clearmodifiers ctrl+a"));
      usleep(300000);
      axtest::Run(Xdo("key Return"));
      WaitUntil([&] { return returned.load(); }, 5);
    }
  });
  auto chosen = display_->OpenFilesDialog(w.get(), "Open tracks", "DSD audio", {"*.dsf", "*.dff"});
  returned = true;
  hand.join();
  std::sort(chosen.begin(), chosen.end());
  EXPECT_EQ(chosen, (std::vector<std::string>{(dir / "B.DFF").string(), (dir / "a.dsf").string()}));
}
