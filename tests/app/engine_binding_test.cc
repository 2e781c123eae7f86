// Installation, loading and binding with the real engine libraries that the build carries.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/carried_libraries.h"
#include "app/engine_install.h"
#include "engine/device.h"
#include "tests/app/temp_folder.h"
#include "ui/device_window.h"

namespace ax {
namespace {

class EngineBindingTest : public ::testing::Test {
 protected:
  std::array<CarriedLibrary, 3> carried_ = CarriedEngineLibraries();
  testing::TempFolder home_;
  std::string folder_ = EngineFolderPath(home_.path());
};

TEST_F(EngineBindingTest, CarriedBlocksAreWholeLibraryFiles) {
  for (const CarriedLibrary& library : carried_) {
    ASSERT_GT(library.bytes.size(), 4u) << library.file_name;
    EXPECT_EQ(library.bytes[0], 0x7F) << library.file_name;
    EXPECT_EQ(library.bytes[1], 'E') << library.file_name;
  }
}

TEST_F(EngineBindingTest, InstalledLibrariesLoadAndBindEveryOperation) {
  EXPECT_EQ(InstallEngineLibraries(home_.path(), carried_).size(), 3u);
  LoadedEngineLibraries loaded;
  EngineEntries entries;
  EXPECT_EQ(LoadAndBindEngine(folder_, loaded, entries), std::nullopt);
  EXPECT_EQ(loaded.libraries.size(), 3u);

  // Every operation of the table is exported by the library it is bound from.
  for (const EngineOperation& op : kEngineOperations) {
    void* address = nullptr;
    for (const platform::Library& library : loaded.libraries) {
      if (void* a = library.Entry(op.name)) address = a;
    }
    EXPECT_NE(address, nullptr) << op.name;
  }
  ASSERT_NE(entries.Fell_ASIO_SetUnicode, nullptr);
  entries.Fell_ASIO_SetUnicode(1);
  EXPECT_EQ(QueryDeviceName(entries, 0), u"Virtual DSD output");
  RateProbe rates = ProbeDeviceRates(entries, 0);
  EXPECT_TRUE(rates.opened);
  EXPECT_EQ(rates.rates, (std::array<uint8_t, 4>{1, 1, 1, 1}));
  // What the audio device window lists for it.
  std::vector<DeviceEntry> devices = ListDevices(entries);
  ASSERT_FALSE(devices.empty());
  EXPECT_EQ(DeviceLabelText(devices[0]), u"Virtual DSD output  dsd 2.8/5.6/11.2 MHz");

  // A second start writes nothing and loads the same files again.
  EXPECT_EQ(InstallEngineLibraries(home_.path(), carried_), std::vector<std::string>{});
}

TEST_F(EngineBindingTest, ATruncatedLibraryIsRewrittenAndLoads) {
  InstallEngineLibraries(home_.path(), carried_);
  const std::string tarn = folder_ + "tarn.dll";
  std::filesystem::permissions(tarn, std::filesystem::perms::owner_all);
  std::filesystem::resize_file(tarn, std::filesystem::file_size(tarn) - 1);

  EXPECT_EQ(InstallEngineLibraries(home_.path(), carried_), std::vector<std::string>{"tarn.dll"});
  LoadedEngineLibraries loaded;
  EngineEntries entries;
  EXPECT_EQ(LoadAndBindEngine(folder_, loaded, entries), std::nullopt);
}

TEST_F(EngineBindingTest, TheFirstLibraryThatFailsToLoadGivesItsOneMessage) {
  struct Case {
    const char* broken;
    bool remove;  // else overwrite with bytes that are no library
    const char* text;
    size_t loaded_before;
  };
  const Case cases[] = {
      {"tarn.dll", true, "Error open tarn.dll", 0},
      {"fell.dll", true, "Error open fell.dll", 1},
      {"scree.dll", false, "Error open scree.dll", 2},
  };
  for (const Case& c : cases) {
    testing::TempFolder home;
    InstallEngineLibraries(home.path(), carried_);
    const std::string path = EngineFolderPath(home.path()) + c.broken;
    std::filesystem::remove(path);
    if (!c.remove) testing::WriteFile(path, std::vector<uint8_t>(64, 'x'));

    LoadedEngineLibraries loaded;
    EngineEntries entries;
    EXPECT_EQ(LoadAndBindEngine(EngineFolderPath(home.path()), loaded, entries),
              (Message{"Velora", c.text, MessageIcon::kNone, false}));
    EXPECT_EQ(loaded.libraries.size(), c.loaded_before) << c.broken;
    // What was loaded before the failure is bound; nothing after it.
    EXPECT_EQ(entries.Tarn_ErrorGetCode != nullptr, c.loaded_before >= 1) << c.broken;
    EXPECT_EQ(entries.Fell_ASIO_Init != nullptr, c.loaded_before >= 2) << c.broken;
    EXPECT_EQ(entries.Scree_DSD_StreamCreateFile, nullptr) << c.broken;
  }
}

}  // namespace
}  // namespace ax
