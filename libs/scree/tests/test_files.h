// Helpers for the decoder tests: a private temporary folder and reading a whole stream.
#ifndef LIBS_SCREE_TESTS_TEST_FILES_H_
#define LIBS_SCREE_TESTS_TEST_FILES_H_

#include <filesystem>
#include <string>
#include <vector>

#include "libs/tarn/tarn.h"
#include "tools/dsdgen/dsdgen.h"

namespace scree_test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "scree-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string Write(const std::string& name, const dsdgen::Bytes& bytes) const {
    std::string p = path_ + "/" + name;
    dsdgen::WriteFile(p, bytes);
    return p;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Reads a stream to its end in reads of `chunk` bytes; stops at 0 or -1 (then `failed`).
inline std::vector<uint8_t> ReadAll(uint32_t handle, uint32_t chunk, bool* failed = nullptr) {
  std::vector<uint8_t> out, buf(chunk);
  for (;;) {
    int32_t got = Tarn_ChannelGetData(handle, buf.data(), chunk);
    if (got < 0 && failed) *failed = true;
    if (got <= 0) break;
    out.insert(out.end(), buf.begin(), buf.begin() + got);
  }
  return out;
}

}  // namespace scree_test

#endif  // LIBS_SCREE_TESTS_TEST_FILES_H_
