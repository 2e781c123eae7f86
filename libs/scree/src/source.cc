#include "libs/scree/src/source.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace scree {
namespace {

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, uint64_t begin, uint64_t size) : fd_(fd), begin_(begin), size_(size) {}
  ~FileSource() override { close(fd_); }
  uint64_t Size() const override { return size_; }
  uint64_t FileOffset(uint64_t offset) const override { return begin_ + offset; }

  int64_t ReadAt(uint64_t offset, void* out, uint64_t n) const override {
    if (offset >= size_) return 0;
    n = std::min(n, size_ - offset);
    uint8_t* p = static_cast<uint8_t*>(out);
    uint64_t done = 0;
    while (done < n) {
      // One large pread per call; the kernel copies straight from the page cache.
      ssize_t got = pread(fd_, p + done, std::min<uint64_t>(n - done, 1u << 30),
                          static_cast<off_t>(begin_ + offset + done));
      if (got < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (got == 0) break;  // the file is shorter than when it was opened
      done += static_cast<uint64_t>(got);
    }
    return static_cast<int64_t>(done);
  }

 private:
  int fd_;
  uint64_t begin_, size_;
};

class MemSource final : public ByteSource {
 public:
  MemSource(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  int64_t ReadAt(uint64_t offset, void* out, uint64_t n) const override {
    if (offset >= size_) return 0;
    n = std::min(n, size_ - offset);
    std::memcpy(out, data_ + offset, n);
    return static_cast<int64_t>(n);
  }

 private:
  const uint8_t* data_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path, uint64_t offset,
                                           uint64_t length, int* error) {
  *error = 2;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  const uint64_t file_size = static_cast<uint64_t>(st.st_size);
  const uint64_t begin = std::min(offset, file_size);
  uint64_t size = file_size - begin;
  if (length != 0) size = std::min(size, length);
  *error = 0;
  return std::make_unique<FileSource>(fd, begin, size);
}

std::unique_ptr<ByteSource> MemorySource(const void* data, uint64_t size) {
  return std::make_unique<MemSource>(static_cast<const uint8_t*>(data), size);
}

std::string Utf16ToUtf8(const char16_t* text) {
  std::string out;
  for (size_t i = 0; text[i] != 0; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace scree
