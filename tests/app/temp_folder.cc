#include "tests/app/temp_folder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace ax::testing {

TempFolder::TempFolder() {
  std::random_device entropy;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("ax-shell-test-" + std::to_string(entropy()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate.string() + "/";
      return;
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Installed files are read-only; make everything removable first.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> ListNames(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

unsigned Permissions(const std::string& path) {
  return static_cast<unsigned>(std::filesystem::status(path).permissions()) & 0777u;
}

}  // namespace ax::testing
