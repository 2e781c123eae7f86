// System services: processes, processors, memory, folders and files, dynamic libraries, threads,
// the counting semaphore, short sleeps and random numbers.
//
// Contract common to everything here:
// - Paths are UTF-8 byte strings with "/" separators, as the file system takes them.
// - No call throws; failures are answered with the documented neutral value (empty string,
//   false, -1, std::nullopt) and, where a reason is useful, an error text that names the failing
//   library call.
// - Every function may be called from any thread unless its comment says otherwise; none keeps
//   hidden global state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---- Processes, processors, memory -------------------------------------------------------------

// The image file names (last path part, no folder) of every process the system lists right now,
// in the order of their ids. A process's name is the file name of its program (/proc/<pid>/exe,
// a " (deleted)" mark removed); when that is unreadable (another user's process) the kernel's
// short command name is used instead. Empty when the process list cannot be read.
std::vector<std::string> ProcessImageNames();

// Processor counts for the start-up requirement check, each counted up to 64. `system` is the
// number of processors the system could run, `process` the number this process may run on.
// When the query fails both read 1.
struct ProcessorCounts {
  int system = 1;
  int process = 1;
};
ProcessorCounts QueryProcessorCounts();

// Physical memory in bytes. When the query fails both read 0.
struct MemoryStatus {
  uint64_t total = 0;
  uint64_t available = 0;
};
MemoryStatus QueryMemoryStatus();
// Reads MemTotal and MemAvailable out of the text of /proc/meminfo (exposed for tests). A text
// without both lines answers {0, 0}.
MemoryStatus ParseMeminfo(std::string_view text);

// ---- Folders and program location ---------------------------------------------------------------

// The per-user application data folder with one trailing "/": $XDG_DATA_HOME when it is set to an
// absolute path, else $HOME/.local/share. The folder (and its parents) are created with
// owner-only permissions when missing, so a single-level CreateFolder below it works on a fresh
// account. Empty when neither variable gives a usable path.
std::string LocalAppDataFolder();

// The absolute path of the running program's file (/proc/self/exe); empty on failure.
std::string OwnProgramPath();

// The folder part of a path, with its trailing "/" ("/a/b/c" -> "/a/b/"; "c" -> "").
std::string FolderOf(std::string_view path);

// True when `path` names a folder (symbolic links followed).
bool FolderExists(const std::string& path);

// Creates one folder (its parent must exist), permissions 0755 less the umask. True when the
// folder was created; false when it already existed or could not be made.
bool CreateFolder(const std::string& path);

struct FolderEntry {
  std::string name;        // the entry's own name, no folder part
  bool is_folder = false;  // symbolic links followed; a dangling link is a plain entry
};
// The entries of a folder without "." and "..", sorted by name (byte order) so that listings
// are reproducible. std::nullopt when the folder cannot be opened.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& path);

// File size in bytes; -1 when nothing of that name exists (or it cannot be examined), -2 when it
// is a folder.
int64_t FileSize(const std::string& path);

// "Hidden" has no meaning on Linux; we stand in with owner-only permissions:
// a hidden folder is 0700, a "hidden and system" file (an installed library) is 0500.
// Each call replaces all other permission bits, and answers whether chmod succeeded.
bool SetFolderHidden(const std::string& path);
bool IsFolderHidden(const std::string& path);  // no group or other bits set
bool SetFileHiddenSystem(const std::string& path);

// The exclusive-open test: true when the file can be opened for reading, one byte can be read
// (an empty file passes) and no other descriptor, in this process or another, has it open.
// Openness is learned from a write lease taken and released at once (the kernel grants it only
// to the owner of a file that nobody else has open); where a lease is impossible (not the owner,
// a file system without leases) the open and the read alone decide. A folder answers false.
bool FileReadableExclusive(const std::string& path);

// Reads a whole file; std::nullopt when it cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// Writes `bytes` as the new content of `path`, atomically: the data goes to a temporary file in
// the same folder, is flushed to disk, gets permissions `mode`, and is renamed over the old file.
// A reader (or a process that has the old file mapped) sees either the old or the new file,
// never a part. On failure the old file is untouched, the temporary file is removed, false is
// answered and `error` (when given) names the failing call.
bool WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes, unsigned mode = 0644,
                     std::string* error = nullptr);

// Removes a file (not a folder); true when it is gone afterwards.
bool RemoveFile(const std::string& path);

// ---- Dynamic libraries
// ---------------------------------------------------------------------------

// A shared library loaded by path with all symbols bound at once and kept local to it. Closing
// happens on destruction; entries looked up from it are invalid afterwards. Move-only.
class Library {
 public:
  Library() = default;
  ~Library();
  Library(Library&& other) noexcept;
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Loads the library at `path`. An empty Library (loaded() false) on failure, with the loader's
  // own message in `error`.
  static Library Open(const std::string& path, std::string* error = nullptr);
  bool loaded() const { return handle_ != nullptr; }
  // The address of the exported entry `name`, or nullptr.
  void* Entry(const char* name) const;
  // Leaves the library loaded for the rest of the process (its entries stay valid).
  void Keep() { handle_ = nullptr; }

 private:
  void* handle_ = nullptr;
};

// ---- Threads ---------------------------------------------------------------------------------

enum class ThreadPriority { kNormal, kBelowNormal };

// A worker thread with a priority, a timed join and an abandon for the forced end.
// A thread cannot be killed safely, so Abandon() detaches it and raises its `abandoned` flag: the
// body must then drop its results and must hold nothing the rest of the program needs.
// Start, JoinFor and Abandon are for the owning thread only. Destroying a Thread that still runs
// abandons it.
class Thread {
 public:
  // The body receives the flag that Abandon() raises.
  using Body = std::function<void(const std::atomic<bool>& abandoned)>;

  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the body. Below-normal priority is a nice value of 10 for that thread alone.
  // False when a thread is already owned or the system refuses a new one.
  bool Start(ThreadPriority priority, Body body);
  bool running() const;  // started, not yet joined or abandoned
  // Waits up to `timeout_ms` for the body to return; true (and joined) when it did.
  bool JoinFor(uint32_t timeout_ms);
  // Joins without limit.
  void Join();
  // Forced end: detach and raise the abandoned flag.
  void Abandon();

 private:
  struct State;
  std::shared_ptr<State> state_;
  void* native_ = nullptr;  // std::thread*, kept opaque
};

// The nice value of the calling thread (for tests and diagnostics).
int CurrentThreadNice();

// ---- Counting semaphore ------------------------------------------------------------------------

// A counting semaphore whose count starts at `initial` and can reach 2,147,483,647. Release() is
// lock-free and safe from a real-time audio callback (it never blocks or allocates); it answers
// false when the count is already at its maximum.
class Semaphore {
 public:
  explicit Semaphore(unsigned initial = 0);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  bool Release();
  void Acquire();                           // waits without limit
  bool TryAcquire();                        // never waits
  bool TryAcquireFor(uint32_t timeout_ms);  // waits up to the time-out
  int Value() const;                        // a snapshot of the count

 private:
  alignas(16) unsigned char storage_[64];  // a sem_t, kept out of this header
};

// ---- Time and chance
// -----------------------------------------------------------------------------

// Sleeps `ms` milliseconds with 1 ms resolution (continues after signals).
void SleepMs(uint32_t ms);

// Monotonic milliseconds since an arbitrary start, for time-outs (not for the wall clock).
uint64_t MonotonicMs();

// A random number source for the main thread's uses (shuffling): a 64-bit Mersenne twister,
// seeded from the system's entropy unless a seed is given (tests print and reuse theirs).
class Random {
 public:
  Random();
  explicit Random(uint64_t seed) : engine_(seed), seed_(seed) {}
  uint64_t seed() const { return seed_; }
  // A uniform value in 0 ... bound (inclusive); 0 when bound is 0.
  uint64_t UpTo(uint64_t bound);

 private:
  std::mt19937_64 engine_;
  uint64_t seed_ = 0;
};

}  // namespace platform
