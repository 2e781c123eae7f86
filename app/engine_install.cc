#include "app/engine_install.h"

namespace ax {

std::string EngineFolderPath(const std::string& app_data_folder) {
  return app_data_folder + kEngineFolder;
}

std::vector<std::string> InstallEngineLibraries(const std::string& app_data_folder,
                                                std::span<const CarriedLibrary> libraries) {
  const std::string parent = app_data_folder + kEngineParentFolder;
  if (!platform::FolderExists(parent)) platform::CreateFolder(parent);

  const std::string folder = EngineFolderPath(app_data_folder);
  if (!platform::FolderExists(folder)) platform::CreateFolder(folder);
  // Set on every start, not only when other users could read it: a folder left read-only or
  // without search permission would make every later write or load fail.
  platform::SetFolderHidden(folder);

  std::vector<std::string> written;
  for (const CarriedLibrary& library : libraries) {
    const std::string path = folder + library.file_name;
    if (platform::FileSize(path) == static_cast<int64_t>(library.bytes.size())) continue;
    if (platform::WriteFileAtomic(path, library.bytes, 0500)) written.push_back(library.file_name);
  }
  return written;
}

std::optional<Message> LoadAndBindEngine(const std::string& engine_folder,
                                         LoadedEngineLibraries& loaded, EngineEntries& entries) {
  struct Step {
    const char* file_name;
    EngineLibrary library;
  };
  static constexpr Step kSteps[] = {
      {"tarn.dll", EngineLibrary::kStream},
      {"fell.dll", EngineLibrary::kOutput},
      {"scree.dll", EngineLibrary::kDecoder},
  };
  for (const Step& step : kSteps) {
    platform::Library library = platform::Library::Open(engine_folder + step.file_name);
    if (!library.loaded()) {
      return Message{"Velora", std::string("Error open ") + step.file_name, MessageIcon::kNone,
                     false};
    }
    BindEngineOperations(
        step.library, [&library](const char* name) { return library.Entry(name); }, entries);
    loaded.libraries.push_back(std::move(library));
  }
  // A stream engine without its error query is not one we can trust to have started.
  if (entries.Tarn_ErrorGetCode == nullptr || entries.Tarn_ErrorGetCode() != 0) {
    return Message{"Velora", "Error Tarn Library", MessageIcon::kNone, false};
  }
  return std::nullopt;
}

}  // namespace ax
