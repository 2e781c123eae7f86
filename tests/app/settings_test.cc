#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/app/temp_folder.h"

namespace ax {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kMagic = {0x2C, 0x62, 0x34, 0x01};
const Bytes kCrLf = {0x0D, 0x00, 0x0A, 0x00};
// "Vé" in UTF-16LE: a name is kept as code units, not as bytes.
const Bytes kName = {'V', 0x00, 0xE9, 0x00};

TEST(SerializeSettings, WritesTheLayoutByteForByte) {
  StoredSettings named{u"V\u00e9", 0, {1, 1, 0}, 1, 0};
  EXPECT_EQ(SerializeSettings(named),
            Concat({kMagic, kName, kCrLf, {0x00, 0x01, 0x01, 0x00, 0x01, 0x00, 0xFF}}));

  StoredSettings empty;
  Bytes empty_bytes = SerializeSettings(empty);
  EXPECT_EQ(empty_bytes.size(), 15u);
  EXPECT_EQ(empty_bytes, Concat({kMagic, kCrLf, {0, 0, 0, 0, 0, 0, 0xFF}}));
}

TEST(ParseSettings, FollowsTheLineRulesAndReadsMissingFieldsAsZero) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::optional<StoredSettings> expected;
  };
  const StoredSettings full{u"V\u00e9", 2, {1, 1, 0}, 1, 0};
  const Case cases[] = {
      {"CR LF", Concat({kMagic, kName, kCrLf, {2, 1, 1, 0, 1, 0, 0xFF}}), full},
      {"lone LF", Concat({kMagic, kName, {0x0A, 0x00}, {2, 1, 1, 0, 1, 0, 0xFF}}), full},
      {"0 unit", Concat({kMagic, kName, {0x00, 0x00}, {2, 1, 1, 0, 1, 0, 0xFF}}), full},
      {"any end mark, reserved byte ignored",
       Concat({kMagic, kName, kCrLf, {2, 1, 1, 0, 1, 9, 0x17}}),
       StoredSettings{u"V\u00e9", 2, {1, 1, 0}, 1, 9}},
      {"CR then another unit: that unit is the channel and the first flag",
       Concat({kMagic, kName, {0x0D, 0x00}, {0x03, 0x01, 1, 0, 1, 0, 0xFF}}),
       StoredSettings{u"V\u00e9", 3, {1, 1, 0}, 1, 0}},
      {"CR at the very end", Concat({kMagic, kName, {0x0D, 0x00}}),
       StoredSettings{u"V\u00e9", 0, {0, 0, 0}, 0, 0}},
      {"name runs to the end", Concat({kMagic, kName}), StoredSettings{u"V\u00e9", 0, {}, 0, 0}},
      {"odd byte after the name is the channel", Concat({kMagic, kName, {0x05}}),
       StoredSettings{u"V\u00e9", 5, {}, 0, 0}},
      {"fields cut short", Concat({kMagic, kCrLf, {0, 1, 1}}),
       StoredSettings{u"", 0, {1, 1, 0}, 0, 0}},
      {"five bytes", Concat({kMagic, {0x07}}), StoredSettings{u"", 7, {}, 0, 0}},
      {"only the magic", kMagic, std::nullopt},
      {"empty", {}, std::nullopt},
      {"magic 0x0134622D", Concat({{0x2D, 0x62, 0x34, 0x01}, kCrLf, {0, 1, 1, 1, 1, 0, 0xFF}}),
       std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSettings(c.bytes), c.expected) << c.what;
}

TEST(ParseSettings, ReadsBackWhatSerializeWrote) {
  for (const StoredSettings& s :
       {StoredSettings{}, StoredSettings{u"Virtual DSD output", 0, {1, 1, 1}, 1, 0},
        StoredSettings{std::u16string(300, u'\u4e2d'), 0, {1, 0, 0}, 0, 0}}) {
    EXPECT_EQ(ParseSettings(SerializeSettings(s)), s);
  }
}

class SettingsFileTest : public ::testing::Test {
 protected:
  testing::TempFolder folder_;
  std::string file_ = folder_.path() + kSettingsFileName;
};

TEST_F(SettingsFileTest, SaveThenLoadGivesTheSameSettingsAndTheExactBytes) {
  const StoredSettings settings{u"Virtual DSD output", 0, {1, 1, 1}, 1, 0};
  ASSERT_TRUE(SaveSettings(folder_.path(), settings));
  EXPECT_EQ(testing::ReadFile(file_), SerializeSettings(settings));
  EXPECT_EQ(LoadSettings(folder_.path()), settings);

  // A second save replaces the file whole, also when the new one is shorter.
  const StoredSettings shorter{u"x", 0, {1, 0, 0}, 0, 0};
  ASSERT_TRUE(SaveSettings(folder_.path(), shorter));
  EXPECT_EQ(testing::ReadFile(file_), SerializeSettings(shorter));
  // No temporary file is left beside it.
  EXPECT_EQ(testing::ListNames(folder_.path()), std::vector<std::string>{kSettingsFileName});
}

TEST_F(SettingsFileTest, UnusableFilesAreNotLoaded) {
  EXPECT_EQ(LoadSettings(folder_.path()), std::nullopt);  // missing

  std::filesystem::create_directory(file_);  // a folder of that name
  EXPECT_EQ(LoadSettings(folder_.path()), std::nullopt);
  std::filesystem::remove(file_);

  testing::WriteFile(file_, kMagic);  // exactly the magic: shorter than 5 bytes
  EXPECT_EQ(LoadSettings(folder_.path()), std::nullopt);

  testing::WriteFile(file_, SerializeSettings({u"dev", 0, {1, 0, 0}, 1, 0}));
  {
    std::ifstream held(file_);  // open elsewhere: not loaded
    ASSERT_TRUE(held.is_open());
    EXPECT_EQ(LoadSettings(folder_.path()), std::nullopt);
  }
  EXPECT_NE(LoadSettings(folder_.path()), std::nullopt);
}

TEST_F(SettingsFileTest, AFailedSaveLeavesNothingBehind) {
  const std::string missing = folder_.path() + "no-such-folder/";
  EXPECT_FALSE(SaveSettings(missing, StoredSettings{}));
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(SettingsFileTest, FileReadableTest) {
  EXPECT_FALSE(FileReadable(file_));  // missing
  testing::WriteFile(file_, {});
  EXPECT_TRUE(FileReadable(file_));  // empty but openable
  {
    std::ofstream writer(file_, std::ios::app);
    EXPECT_FALSE(FileReadable(file_));  // open for writing elsewhere
  }
  {
    std::ifstream reader(file_);
    EXPECT_FALSE(FileReadable(file_));  // open for reading elsewhere
  }
  EXPECT_TRUE(FileReadable(file_));
  EXPECT_FALSE(FileReadable(folder_.path()));
}

}  // namespace
}  // namespace ax
