// Installation with made-up library blocks: which files are written, when, and with which
// permissions. Loading the real libraries is in engine_binding_test.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/engine_install.h"
#include "tests/app/temp_folder.h"

namespace ax {
namespace {

class InstallTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> fell_ = std::vector<uint8_t>(36864, 0xF1);
  std::vector<uint8_t> tarn_ = std::vector<uint8_t>(2304, 0x7A);
  std::vector<uint8_t> scree_ = std::vector<uint8_t>(1176, 0x5C);
  std::array<CarriedLibrary, 3> carried_ = {
      {{"fell.dll", fell_}, {"tarn.dll", tarn_}, {"scree.dll", scree_}}};
  testing::TempFolder home_;
  std::string folder_ = home_.path() + "Marwenholt/vx20/";
};

TEST_F(InstallTest, FirstStartWritesAllThreeInOrderSecondStartWritesNone) {
  EXPECT_EQ(InstallEngineLibraries(home_.path(), carried_),
            (std::vector<std::string>{"fell.dll", "tarn.dll", "scree.dll"}));
  EXPECT_EQ(testing::ReadFile(folder_ + "fell.dll"), fell_);
  EXPECT_EQ(testing::ReadFile(folder_ + "tarn.dll"), tarn_);
  EXPECT_EQ(testing::ReadFile(folder_ + "scree.dll"), scree_);
  EXPECT_EQ(testing::ListNames(folder_),
            (std::vector<std::string>{"fell.dll", "scree.dll", "tarn.dll"}));  // no leftovers
  EXPECT_EQ(testing::Permissions(folder_), 0700u);
  EXPECT_EQ(testing::Permissions(folder_ + "tarn.dll"), 0500u);
  // The parent is an ordinary folder.
  EXPECT_NE(testing::Permissions(home_.path() + "Marwenholt") & 0055u, 0u);

  EXPECT_EQ(InstallEngineLibraries(home_.path(), carried_), std::vector<std::string>{});
}

TEST_F(InstallTest, OnlyAFileOfAnotherSizeIsRewritten) {
  InstallEngineLibraries(home_.path(), carried_);

  // Truncated by one byte: rewritten in full. Same size, other content: left alone.
  std::vector<uint8_t> truncated(tarn_.begin(), tarn_.end() - 1);
  std::filesystem::remove(folder_ + "tarn.dll");
  testing::WriteFile(folder_ + "tarn.dll", truncated);
  std::vector<uint8_t> same_size(scree_.size(), 0x00);
  std::filesystem::remove(folder_ + "scree.dll");
  testing::WriteFile(folder_ + "scree.dll", same_size);
  std::filesystem::remove(folder_ + "fell.dll");  // deleted between two starts

  EXPECT_EQ(InstallEngineLibraries(home_.path(), carried_),
            (std::vector<std::string>{"fell.dll", "tarn.dll"}));
  EXPECT_EQ(testing::ReadFile(folder_ + "tarn.dll"), tarn_);
  EXPECT_EQ(testing::ReadFile(folder_ + "fell.dll"), fell_);
  EXPECT_EQ(testing::ReadFile(folder_ + "scree.dll"), same_size);
}

TEST_F(InstallTest, AnExistingFolderIsMadeOwnerOnly) {
  for (unsigned mode : {0755u, 0500u, 0777u}) {
    std::filesystem::create_directories(folder_);
    std::filesystem::permissions(folder_, static_cast<std::filesystem::perms>(mode));
    InstallEngineLibraries(home_.path(), carried_);
    EXPECT_EQ(testing::Permissions(folder_), 0700u) << std::oct << mode;
    EXPECT_EQ(testing::ReadFile(folder_ + "scree.dll"), scree_);
  }
}

TEST_F(InstallTest, WithoutAnAppDataFolderTheEngineFolderIsRelativeToTheCurrentFolder) {
  EXPECT_EQ(EngineFolderPath(""), "Marwenholt/vx20/");
  EXPECT_EQ(EngineFolderPath(home_.path()), folder_);
}

}  // namespace
}  // namespace ax
