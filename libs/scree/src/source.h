// Random-access byte sources for the decoder: a window of a file (read with pread, so one
// source can serve several threads) or a block of memory that the caller keeps alive.
#ifndef LIBS_SCREE_SRC_SOURCE_H_
#define LIBS_SCREE_SRC_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>

namespace scree {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Bytes in the source.
  virtual uint64_t Size() const = 0;
  // Copies up to `n` bytes from `offset` into `out`; returns the count (short only at the end
  // of the source or when the file shrank under us), or -1 when the read fails.
  virtual int64_t ReadAt(uint64_t offset, void* out, uint64_t n) const = 0;
  // Where byte `offset` of the source lies in the underlying file.
  virtual uint64_t FileOffset(uint64_t offset) const { return offset; }
};

// Opens `path` (UTF-8) and selects [offset, offset + length) of it (length 0 = to the end).
// Returns null with `error` set to 2 when the file cannot be opened or read (missing,
// no permission, a folder).
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path, uint64_t offset,
                                           uint64_t length, int* error);
// `data` must outlive the source.
std::unique_ptr<ByteSource> MemorySource(const void* data, uint64_t size);

// UTF-16 (zero-terminated) to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const char16_t* text);

}  // namespace scree

#endif  // LIBS_SCREE_SRC_SOURCE_H_
