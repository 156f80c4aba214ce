#pragma once

#include <filesystem>
#include <string>

#include "host/plugin_entry.h"

namespace sim {

struct LoadResult {
  bool ok = false;
  std::string error;  // why the load failed
};

// Loads a plug-in library as the operating system would: opens it, calls its entry with
// kProcessAttach, and on unload calls it with kProcessDetach before closing it. An exception that
// leaves the attach call fails the load and closes the library again.
class PluginLoader {
 public:
  PluginLoader() = default;
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;
  ~PluginLoader() { Unload(); }

  LoadResult Load(const std::filesystem::path& library);
  // Returns the text of an exception that left the detach call, if any.
  std::string Unload();
  bool loaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
  PluginEntryFn* entry_ = nullptr;
};

}  // namespace sim
