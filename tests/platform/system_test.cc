// System services against the real file system, /proc and the kernel.
#include "platform/system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace platform;

namespace {

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "ax-plat-XXXXXX").string();
    path_ = mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    // Owner-only read-only files and folders must become writable again to go.
    for (auto& e : fs::recursive_directory_iterator(path_, ec)) {
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

unsigned Mode(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFF;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(Processes, ListSeesThisProgramAndAChildUnderItsOwnName) {
  auto names = ProcessImageNames();
  ASSERT_FALSE(names.empty());
  // (Other tests of this program may run at the same time.)
  EXPECT_GE(std::count(names.begin(), names.end(), "platform_system_test"), 1);

  // A copy of `sleep` named like the player, with a space in its name, counts exactly once
  // while it runs and not at all after it ended: what the single-instance guard relies on.
  TempDir dir;
  const std::string name = "Ardent X " + std::to_string(getpid());
  std::string program = dir / name;
  fs::copy_file("/bin/sleep", program);
  fs::permissions(program, fs::perms::owner_all);
  EXPECT_EQ(std::count(names.begin(), names.end(), name), 0);
  pid_t child = fork();
  if (child == 0) {
    execl(program.c_str(), name.c_str(), "60", nullptr);
    _exit(127);
  }
  ASSERT_GT(child, 0);
  int seen = 0;
  for (int i = 0; i < 500 && seen == 0; ++i) {  // until the exec has happened
    names = ProcessImageNames();
    seen = static_cast<int>(std::count(names.begin(), names.end(), name));
    if (seen == 0) SleepMs(10);
  }
  EXPECT_EQ(seen, 1);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  names = ProcessImageNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), name), 0);
}

TEST(Processes, ProcessorCountsMatchTheKernel) {
  ProcessorCounts counts = QueryProcessorCounts();
  EXPECT_EQ(counts.system, std::min<long>(sysconf(_SC_NPROCESSORS_CONF), 64));
  cpu_set_t set;
  ASSERT_EQ(sched_getaffinity(0, sizeof(set), &set), 0);
  EXPECT_EQ(counts.process, std::min(CPU_COUNT(&set), 64));
  EXPECT_GE(counts.process, 1);
  EXPECT_LE(counts.process, counts.system);
}

TEST(Memory, ParsesMeminfo) {
  struct Case {
    const char* text;
    uint64_t total, available;
  } cases[] = {
      {"MemTotal:       16306452 kB\nMemFree:  1 kB\nMemAvailable:   12000000 kB\n",
       16306452ull * 1024, 12000000ull * 1024},
      {"MemAvailable: 2 kB\nMemTotal: 3 kB", 3 * 1024, 2 * 1024},  // any order, no final newline
      {"MemTotal: 3891200 kB\n", 0, 0},                            // available missing
      {"MemTotalX: 5 kB\nMemAvailable: 1 kB\n", 0, 0},             // a longer key is not it
      {"MemTotal: kB\nMemAvailable: 1 kB\n", 0, 0},                // no number
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    MemoryStatus m = ParseMeminfo(c.text);
    EXPECT_EQ(m.total, c.total) << c.text;
    EXPECT_EQ(m.available, c.available) << c.text;
  }
}

TEST(Memory, StatusMatchesTheKernel) {
  MemoryStatus m = QueryMemoryStatus();
  struct sysinfo info;
  ASSERT_EQ(sysinfo(&info), 0);
  EXPECT_EQ(m.total, static_cast<uint64_t>(info.totalram) * info.mem_unit);
  EXPECT_GT(m.available, 0u);
  EXPECT_LE(m.available, m.total);
}

TEST(Folders, AppDataFolderFollowsTheEnvironmentAndExists) {
  TempDir dir;
  std::string home = dir / "home";
  std::string xdg_slash = dir / "xdg/";
  fs::create_directory(home);
  struct Case {
    const char* xdg;
    const char* home;
    std::string expected;
  } cases[] = {
      {nullptr, home.c_str(), home + "/.local/share/"},
      {"relative/data", home.c_str(), home + "/.local/share/"},  // XDG asks for absolute paths
      {xdg_slash.c_str(), home.c_str(), xdg_slash},              // one trailing slash only
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
    ScopedEnv h("HOME", c.home);
    std::string folder = LocalAppDataFolder();
    EXPECT_EQ(folder, c.expected);
    if (!folder.empty()) {
      EXPECT_TRUE(FolderExists(folder)) << folder;
      // A single-level create below it must work on a fresh account.
      EXPECT_TRUE(CreateFolder(folder + "Marwenholt" + std::to_string(n++)));
    }
  }
}

TEST(Folders, OwnProgramPathIsThisTestProgram) {
  std::string path = OwnProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(fs::path(path).filename(), "platform_system_test");
  EXPECT_GT(FileSize(path), 0);
  EXPECT_EQ(FolderOf(path) + "platform_system_test", path);
  EXPECT_EQ(FolderOf("name"), "");
  EXPECT_EQ(FolderOf("/a/b/"), "/a/b/");
}

TEST(Folders, CreateAndList) {
  TempDir dir;
  EXPECT_TRUE(CreateFolder(dir / "sub"));
  EXPECT_FALSE(CreateFolder(dir / "sub"));  // exists already
  EXPECT_FALSE(CreateFolder(dir / "no/such/parent"));
  WriteText(dir / "b.dsf", "x");
  WriteText(dir / "A.DFF", "");
  WriteText(dir / ".hidden", "");
  fs::create_directory_symlink(dir / "sub", dir / "link-to-sub");
  fs::create_symlink(dir / "missing", dir / "dangling");

  auto entries = ListFolder(dir.path());
  ASSERT_TRUE(entries);
  std::vector<std::pair<std::string, bool>> got;
  for (auto& e : *entries) got.emplace_back(e.name, e.is_folder);
  std::vector<std::pair<std::string, bool>> want = {{".hidden", false},    {"A.DFF", false},
                                                    {"b.dsf", false},      {"dangling", false},
                                                    {"link-to-sub", true}, {"sub", true}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(ListFolder(dir / "sub")->size(), 0u);
  EXPECT_FALSE(ListFolder(dir / "nothing"));
  EXPECT_FALSE(ListFolder(dir / "b.dsf"));
}

TEST(Files, SizeAnswersMinusOneForMissingAndMinusTwoForFolders) {
  TempDir dir;
  WriteText(dir / "five", "12345");
  WriteText(dir / "empty", "");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "gone", dir / "dangling");
  fs::create_directory_symlink(dir / "folder", dir / "folder-link");
  struct Case {
    std::string path;
    int64_t size;
  } cases[] = {{dir / "five", 5},         {dir / "empty", 0},        {dir / "missing", -1},
               {dir / "folder", -2},      {dir / "folder/", -2},     {dir / "dangling", -1},
               {dir / "folder-link", -2}, {dir / "five/inside", -1}, {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(FileSize(c.path), c.size) << c.path;
}

TEST(Files, HiddenMeansOwnerOnly) {
  TempDir dir;
  std::string folder = dir / "vx20";
  ASSERT_TRUE(CreateFolder(folder));
  chmod(folder.c_str(), 0555);  // read-only, like a folder someone changed by hand
  EXPECT_FALSE(IsFolderHidden(folder));
  EXPECT_TRUE(SetFolderHidden(folder));
  EXPECT_EQ(Mode(folder), 0700u);  // the other settings are replaced
  EXPECT_TRUE(IsFolderHidden(folder));

  std::string lib = folder + "/tarn.dll";
  WriteText(lib, "old");
  EXPECT_TRUE(SetFileHiddenSystem(lib));
  EXPECT_EQ(Mode(lib), 0500u);
  EXPECT_FALSE(SetFolderHidden(dir / "missing"));
  EXPECT_FALSE(IsFolderHidden(dir / "missing"));
}

TEST(Files, ExclusiveOpenFailsWhileTheFileIsOpenElsewhere) {
  TempDir dir;
  std::string path = dir / "track.dsf";
  WriteText(path, "DSD ");
  WriteText(dir / "empty", "");
  fs::create_directory(dir / "folder");

  EXPECT_TRUE(FileReadableExclusive(path));
  EXPECT_TRUE(FileReadableExclusive(dir / "empty"));  // nothing to read still passes
  EXPECT_FALSE(FileReadableExclusive(dir / "missing"));
  EXPECT_FALSE(FileReadableExclusive(dir / "folder"));

  for (int flags : {O_RDONLY, O_WRONLY, O_RDWR}) {  // open here, for reading or for writing
    int fd = open(path.c_str(), flags);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(FileReadableExclusive(path)) << "flags " << flags;
    close(fd);
    EXPECT_TRUE(FileReadableExclusive(path)) << "flags " << flags;
  }

  // Open in another process.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    int fd = open(path.c_str(), O_RDONLY);
    char c = fd >= 0 ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    pause();
    _exit(0);
  }
  ASSERT_GT(child, 0);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  EXPECT_FALSE(FileReadableExclusive(path));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_TRUE(FileReadableExclusive(path));

  if (geteuid() != 0) {  // root reads everything
    chmod(path.c_str(), 0);
    EXPECT_FALSE(FileReadableExclusive(path));
  }
}

TEST(Files, AtomicWriteReplacesWholeFilesOnly) {
  TempDir dir;
  std::string path = dir / "tarn.dll";
  std::vector<uint8_t> first(100000, 0xAB), second = {1, 2, 3};

  ASSERT_TRUE(WriteFileAtomic(path, first));
  EXPECT_EQ(ReadWholeFile(path), first);
  EXPECT_EQ(Mode(path), 0644u);

  // Replacing a read-only library that another descriptor still holds: the holder keeps reading
  // the old content, the name shows the new one.
  ASSERT_TRUE(SetFileHiddenSystem(path));
  int old_fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(old_fd, 0);
  ASSERT_TRUE(WriteFileAtomic(path, second, 0500));
  EXPECT_EQ(ReadWholeFile(path), second);
  EXPECT_EQ(Mode(path), 0500u);
  uint8_t byte = 0;
  EXPECT_EQ(pread(old_fd, &byte, 1, 99999), 1);
  EXPECT_EQ(byte, 0xAB);
  close(old_fd);

  ASSERT_TRUE(WriteFileAtomic(dir / "empty", {}));
  EXPECT_EQ(FileSize(dir / "empty"), 0);

  // A failing write names the call and leaves nothing behind.
  std::string error;
  EXPECT_FALSE(WriteFileAtomic(dir / "no-folder/x", second, 0644, &error));
  EXPECT_NE(error.find("mkostemp"), std::string::npos) << error;
  if (geteuid() != 0) {
    fs::create_directory(dir / "locked");
    WriteText(dir / "locked/settings", "old");
    chmod((dir / "locked").c_str(), 0555);
    EXPECT_FALSE(WriteFileAtomic(dir / "locked/settings", second));
    EXPECT_EQ(ReadText(dir / "locked/settings"), "old");
  }
  std::set<std::string> left;
  for (auto& e : fs::directory_iterator(dir.path())) left.insert(e.path().filename());
  left.erase("locked");
  EXPECT_EQ(left, (std::set<std::string>{"tarn.dll", "empty"}));  // no temporary files
  if (fs::exists(dir / "locked")) {
    EXPECT_EQ(ListFolder(dir / "locked")->size(), 1u);
  }
  EXPECT_FALSE(ReadWholeFile(dir / "missing"));
}

TEST(Libraries, LoadsByPathAndFindsExportedEntries) {
  std::string error;
  Library lib = Library::Open(AX_TEST_PLUGIN, &error);
  ASSERT_TRUE(lib.loaded()) << error;
  auto twice = reinterpret_cast<int (*)(int)>(lib.Entry("AxTestTwice"));
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_EQ(lib.Entry("AxTestHidden"), nullptr);  // not exported
  EXPECT_EQ(lib.Entry("NoSuchEntry"), nullptr);

  Library moved = std::move(lib);
  EXPECT_FALSE(lib.loaded());
  EXPECT_NE(moved.Entry("AxTestTwice"), nullptr);

  Library missing = Library::Open("/nonexistent/fell.dll", &error);
  EXPECT_FALSE(missing.loaded());
  EXPECT_NE(error.find("/nonexistent/fell.dll"), std::string::npos) << error;
  EXPECT_EQ(missing.Entry("AxTestTwice"), nullptr);
}

TEST(Threads, PriorityAppliesToTheNewThreadOnly) {
  int own = CurrentThreadNice();
  for (auto [priority, expected] : {std::pair{ThreadPriority::kNormal, own},
                                    std::pair{ThreadPriority::kBelowNormal, std::max(own, 10)}}) {
    std::atomic<int> seen{-100};
    Thread t;
    ASSERT_TRUE(t.Start(priority, [&](const std::atomic<bool>&) { seen = CurrentThreadNice(); }));
    t.Join();
    EXPECT_EQ(seen.load(), expected);
    EXPECT_EQ(CurrentThreadNice(), own);
  }
}

TEST(Threads, TimedJoinAndAbandon) {
  Semaphore go(0), finished(0);
  Thread t;
  EXPECT_TRUE(t.JoinFor(0));  // nothing to wait for
  ASSERT_TRUE(t.Start(ThreadPriority::kNormal, [&](const std::atomic<bool>&) { go.Acquire(); }));
  EXPECT_FALSE(t.Start(ThreadPriority::kNormal, [](const std::atomic<bool>&) {}));
  EXPECT_TRUE(t.running());
  EXPECT_FALSE(t.JoinFor(20));  // still blocked
  EXPECT_TRUE(t.running());
  go.Release();
  EXPECT_TRUE(t.JoinFor(60000));
  EXPECT_FALSE(t.running());

  // Forced end: the thread is let go and sees the flag; it finishes on its own later.
  std::atomic<bool> saw_flag{false};
  ASSERT_TRUE(t.Start(ThreadPriority::kBelowNormal, [&](const std::atomic<bool>& abandoned) {
    go.Acquire();
    saw_flag = abandoned.load();
    finished.Release();
  }));
  EXPECT_FALSE(t.JoinFor(10));
  t.Abandon();
  EXPECT_FALSE(t.running());
  go.Release();
  finished.Acquire();
  EXPECT_TRUE(saw_flag.load());
}

TEST(Semaphores, CountsWaitsAndStopsAtItsMaximum) {
  Semaphore s(2);
  EXPECT_EQ(s.Value(), 2);
  EXPECT_TRUE(s.TryAcquire());
  EXPECT_TRUE(s.TryAcquireFor(0));
  EXPECT_FALSE(s.TryAcquire());
  EXPECT_FALSE(s.TryAcquireFor(5));

  // A release from another thread wakes a waiter.
  std::thread poster([&] { s.Release(); });
  s.Acquire();
  poster.join();
  EXPECT_EQ(s.Value(), 0);

  // Many releases from two threads are all counted.
  std::thread a([&] {
    for (int i = 0; i < 10000; ++i) s.Release();
  });
  std::thread b([&] {
    for (int i = 0; i < 10000; ++i) s.Release();
  });
  a.join();
  b.join();
  EXPECT_EQ(s.Value(), 20000);

  Semaphore full(INT_MAX);
  EXPECT_EQ(full.Value(), INT_MAX);
  EXPECT_FALSE(full.Release());
  EXPECT_EQ(full.Value(), INT_MAX);
}

TEST(Random, SeededSequencesRepeatAndStayInRange) {
  Random fresh;
  SCOPED_TRACE("seed " + std::to_string(fresh.seed()));
  Random a(fresh.seed()), b(fresh.seed());
  std::set<uint64_t> seen;
  for (int i = 0; i < 1000; ++i) {
    uint64_t x = a.UpTo(4);
    EXPECT_EQ(x, b.UpTo(4));
    EXPECT_LE(x, 4u);
    seen.insert(x);
  }
  EXPECT_EQ(seen.size(), 5u);  // every value turns up
  EXPECT_EQ(a.UpTo(0), 0u);
}
