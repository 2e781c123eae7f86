// Small file helpers for the shell's tests: a private temporary folder removed at the end, and
// whole-file reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ax::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder with its trailing "/".
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// The names in a folder, sorted.
std::vector<std::string> ListNames(const std::string& folder);
// The permission bits of a path (0777 mask).
unsigned Permissions(const std::string& path);

}  // namespace ax::testing
