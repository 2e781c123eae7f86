// The engine libraries travel inside the program as byte blocks. At every start each one is
// written into the per-user engine folder when it is missing there or has another size, then
// the three are loaded from that folder and their operations bound by name.
// Main thread only, before any other thread of the player exists.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/entries.h"
#include "engine/message.h"
#include "platform/system.h"

namespace ax {

struct CarriedLibrary {
  const char* file_name;  // "fell.dll", "tarn.dll" or "scree.dll"
  std::span<const uint8_t> bytes;
};

// The engine folder below the application data folder (which ends in "/", or is empty when it
// could not be found: the folder is then relative to the current folder).
inline constexpr char kEngineParentFolder[] = "Marwenholt";
inline constexpr char kEngineFolder[] = "Marwenholt/vx20/";
std::string EngineFolderPath(const std::string& app_data_folder);

// Makes sure the engine folder exists with owner-only permissions (its parent is an ordinary
// folder) and writes each carried library, in the given order, whose file is missing or has
// another size. A file of the right size is left as it is. Each file is written under a
// temporary name and renamed into place with owner read and execute permissions only, so a
// process that has the old file loaded keeps working. Failures are not reported here: a file
// that is then missing fails to load with its own message. Answers the file names written.
std::vector<std::string> InstallEngineLibraries(const std::string& app_data_folder,
                                                std::span<const CarriedLibrary> libraries);

// The three libraries loaded by LoadAndBindEngine. Destroying it unloads them (the common exit);
// the bound entries are invalid from then on.
struct LoadedEngineLibraries {
  std::vector<platform::Library> libraries;  // in load order: tarn, fell, scree
};

// Loads "tarn.dll", "fell.dll" and "scree.dll" from `engine_folder`, in that order (the decoder
// needs the stream engine, which must then already be the one from this folder), binding each
// library's operations as soon as it is loaded, then asks the stream engine for its error code.
// Answers nothing on success; otherwise the one box to show before the common exit: "Error open
// <file>" for the first library that fails to load, or "Error Tarn Library" when the stream
// engine reports an error (or cannot be asked). Libraries loaded before a failure stay in
// `loaded` for the common exit to unload.
std::optional<Message> LoadAndBindEngine(const std::string& engine_folder,
                                         LoadedEngineLibraries& loaded, EngineEntries& entries);

}  // namespace ax
