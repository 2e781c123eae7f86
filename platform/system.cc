// System services over POSIX and /proc. Each call opens, uses and closes what it needs; nothing
// is cached, so a test can change the file system between calls and see the change.
#include "platform/system.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>
#include <semaphore.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace platform {
namespace {

std::string Errno(const char* call) {
  return std::string(call) + ": " + std::strerror(errno);
}

std::optional<std::string> ReadLink(const std::string& path) {
  std::string buf(PATH_MAX, '\0');
  ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return std::nullopt;
  buf.resize(static_cast<size_t>(n));
  return buf;
}

std::string LastPart(std::string_view path) {
  size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Creates `path` and its missing parents with `mode`; true when it exists as a folder after.
bool MakeFolders(const std::string& path, mode_t mode) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
    }
  }
  return FolderExists(path);
}

}  // namespace

// ---- Processes, processors, memory -------------------------------------------------------------

std::vector<std::string> ProcessImageNames() {
  std::vector<std::pair<long, std::string>> found;
  DIR* dir = opendir("/proc");
  if (!dir) return {};
  while (dirent* e = readdir(dir)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || pid <= 0) continue;
    std::string base = std::string("/proc/") + e->d_name;
    std::string name;
    if (auto exe = ReadLink(base + "/exe")) {
      constexpr std::string_view kDeleted = " (deleted)";
      if (exe->size() > kDeleted.size() && exe->ends_with(kDeleted)) {
        exe->resize(exe->size() - kDeleted.size());
      }
      name = LastPart(*exe);
    } else {
      std::ifstream comm(base + "/comm");
      if (!std::getline(comm, name)) continue;  // the process ended while we looked
    }
    found.emplace_back(pid, std::move(name));
  }
  closedir(dir);
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  names.reserve(found.size());
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

ProcessorCounts QueryProcessorCounts() {
  ProcessorCounts counts;
  long configured = sysconf(_SC_NPROCESSORS_CONF);
  cpu_set_t set;
  CPU_ZERO(&set);
  if (configured <= 0 || sched_getaffinity(0, sizeof(set), &set) != 0) return counts;
  counts.system = static_cast<int>(std::min<long>(configured, 64));
  counts.process = std::min(CPU_COUNT(&set), 64);
  return counts;
}

MemoryStatus ParseMeminfo(std::string_view text) {
  auto field = [&](std::string_view key) -> std::optional<uint64_t> {
    size_t at = 0;
    while (at < text.size()) {
      size_t eol = text.find('\n', at);
      std::string_view line = text.substr(at, eol == std::string_view::npos ? eol : eol - at);
      if (line.starts_with(key) && line.size() > key.size() && line[key.size()] == ':') {
        std::string rest(line.substr(key.size() + 1));
        char* end = nullptr;
        errno = 0;
        unsigned long long kib = std::strtoull(rest.c_str(), &end, 10);
        if (end == rest.c_str() || errno != 0) return std::nullopt;
        if (kib > UINT64_MAX / 1024) return std::nullopt;
        return static_cast<uint64_t>(kib) * 1024;
      }
      if (eol == std::string_view::npos) break;
      at = eol + 1;
    }
    return std::nullopt;
  };
  auto total = field("MemTotal");
  auto available = field("MemAvailable");
  if (!total || !available) return {};
  return {*total, *available};
}

MemoryStatus QueryMemoryStatus() {
  std::ifstream in("/proc/meminfo");
  if (!in) return {};
  std::stringstream text;
  text << in.rdbuf();
  return ParseMeminfo(text.str());
}

// ---- Folders and program location ---------------------------------------------------------------

std::string LocalAppDataFolder() {
  std::string folder;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && xdg[0] == '/') {
    folder = xdg;
  } else if (home && home[0] == '/') {
    folder = std::string(home) + "/.local/share";
  } else {
    return "";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  MakeFolders(folder, 0700);
  return folder + "/";
}

std::string OwnProgramPath() {
  return ReadLink("/proc/self/exe").value_or("");
}

std::string FolderOf(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return std::nullopt;
  std::string base = path;
  if (!base.empty() && base.back() != '/') base += '/';
  std::vector<FolderEntry> entries;
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    FolderEntry entry{e->d_name, false};
    if (e->d_type == DT_DIR) {
      entry.is_folder = true;
    } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
      entry.is_folder = FolderExists(base + e->d_name);
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  if (S_ISDIR(st.st_mode)) return -2;
  return static_cast<int64_t>(st.st_size);
}

bool SetFolderHidden(const std::string& path) {
  return chmod(path.c_str(), 0700) == 0;
}

bool IsFolderHidden(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & 077) == 0;
}

bool SetFileHiddenSystem(const std::string& path) {
  return chmod(path.c_str(), 0500) == 0;
}

bool FileReadableExclusive(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  unsigned char byte;
  ssize_t n;
  do {
    n = read(fd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  bool ok = n >= 0;
  if (ok) {
    if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
      fcntl(fd, F_SETLEASE, F_UNLCK);
    } else if (errno == EAGAIN || errno == EBUSY) {
      ok = false;  // another descriptor has the file open
    }
    // EACCES (not the owner) or EINVAL (no leases here): the open and the read decide.
  }
  close(fd);
  return ok;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof(buf));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    data.insert(data.end(), buf, buf + n);
  }
  close(fd);
  return data;
}

bool WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes, unsigned mode,
                     std::string* error) {
  auto fail = [&](const std::string& why, const std::string& temp) {
    if (error) *error = why;
    if (!temp.empty()) unlink(temp.c_str());
    return false;
  };
  std::string temp = FolderOf(path) + "." + LastPart(path) + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return fail(Errno("mkostemp") + " (" + temp + ")", "");
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string why = Errno("write");
      close(fd);
      return fail(why, temp);
    }
    done += static_cast<size_t>(n);
  }
  if (fchmod(fd, static_cast<mode_t>(mode)) != 0 || fsync(fd) != 0) {
    std::string why = Errno("fchmod/fsync");
    close(fd);
    return fail(why, temp);
  }
  if (close(fd) != 0) return fail(Errno("close"), temp);
  if (rename(temp.c_str(), path.c_str()) != 0) return fail(Errno("rename"), temp);
  return true;
}

bool RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

// ---- Dynamic libraries
// ---------------------------------------------------------------------------

Library::~Library() {
  if (handle_) dlclose(handle_);
}

Library::Library(Library&& other) noexcept : handle_(other.handle_) {
  other.handle_ = nullptr;
}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (handle_) dlclose(handle_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

Library Library::Open(const std::string& path, std::string* error) {
  Library lib;
  lib.handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib.handle_ && error) {
    const char* why = dlerror();
    *error = why ? why : "dlopen failed";
  }
  return lib;
}

void* Library::Entry(const char* name) const {
  if (!handle_) return nullptr;
  return dlsym(handle_, name);
}

// ---- Threads ---------------------------------------------------------------------------------

// Shared by the owner and the thread itself, so an abandoned thread can still finish safely.
struct Thread::State {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;  // guarded by mutex
  std::atomic<bool> abandoned{false};
};

Thread::~Thread() {
  if (native_) Abandon();
}

bool Thread::Start(ThreadPriority priority, Body body) {
  if (native_) return false;
  auto state = std::make_shared<State>();
  try {
    native_ = new std::thread([state, priority, body = std::move(body)] {
      if (priority == ThreadPriority::kBelowNormal) {
        // On Linux the nice value belongs to the thread (its task id), not the process.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
      }
      body(state->abandoned);
      std::lock_guard lock(state->mutex);
      state->done = true;
      state->done_cv.notify_all();
    });
  } catch (...) {
    native_ = nullptr;
    return false;
  }
  state_ = std::move(state);
  return true;
}

bool Thread::running() const {
  return native_ != nullptr;
}

bool Thread::JoinFor(uint32_t timeout_ms) {
  if (!native_) return true;
  {
    std::unique_lock lock(state_->mutex);
    if (!state_->done_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                  [&] { return state_->done; })) {
      return false;
    }
  }
  Join();
  return true;
}

void Thread::Join() {
  if (!native_) return;
  auto* t = static_cast<std::thread*>(native_);
  t->join();
  delete t;
  native_ = nullptr;
  state_.reset();
}

void Thread::Abandon() {
  if (!native_) return;
  auto* t = static_cast<std::thread*>(native_);
  state_->abandoned.store(true);
  t->detach();
  delete t;
  native_ = nullptr;
  state_.reset();
}

int CurrentThreadNice() {
  errno = 0;
  return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
}

// ---- Counting semaphore ------------------------------------------------------------------------

static_assert(sizeof(sem_t) <= 64 && alignof(sem_t) <= 16);

Semaphore::Semaphore(unsigned initial) {
  sem_init(reinterpret_cast<sem_t*>(storage_), 0, std::min<unsigned>(initial, SEM_VALUE_MAX));
}

Semaphore::~Semaphore() {
  sem_destroy(reinterpret_cast<sem_t*>(storage_));
}

bool Semaphore::Release() {
  return sem_post(reinterpret_cast<sem_t*>(storage_)) == 0;
}

void Semaphore::Acquire() {
  while (sem_wait(reinterpret_cast<sem_t*>(storage_)) != 0 && errno == EINTR) {
  }
}

bool Semaphore::TryAcquire() {
  int r;
  do {
    r = sem_trywait(reinterpret_cast<sem_t*>(storage_));
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool Semaphore::TryAcquireFor(uint32_t timeout_ms) {
  // sem_clockwait on the monotonic clock, so a change of the wall clock does not matter.
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeout_ms / 1000;
  deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  int r;
  do {
    r = sem_clockwait(reinterpret_cast<sem_t*>(storage_), CLOCK_MONOTONIC, &deadline);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

int Semaphore::Value() const {
  int v = 0;
  sem_getvalue(const_cast<sem_t*>(reinterpret_cast<const sem_t*>(storage_)), &v);
  return v;
}

// ---- Time and chance
// -----------------------------------------------------------------------------

void SleepMs(uint32_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
  }
}

uint64_t MonotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

Random::Random() {
  std::random_device device;
  seed_ = (static_cast<uint64_t>(device()) << 32) ^ device();
  engine_.seed(seed_);
}

uint64_t Random::UpTo(uint64_t bound) {
  if (bound == 0) return 0;
  return std::uniform_int_distribution<uint64_t>(0, bound)(engine_);
}

}  // namespace platform
