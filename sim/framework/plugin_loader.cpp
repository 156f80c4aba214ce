#include "sim/framework/plugin_loader.h"

#include <dlfcn.h>

#include <exception>

namespace sim {

LoadResult PluginLoader::Load(const std::filesystem::path& library) {
  if (loaded()) return {false, "a plug-in is already loaded"};
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return {false, dlerror()};
  auto* entry = reinterpret_cast<PluginEntryFn*>(dlsym(handle, kPluginEntryName));
  if (entry == nullptr) {
    dlclose(handle);
    return {false, std::string("no entry ") + kPluginEntryName + " in " + library.string()};
  }
  // The exception object must be gone before the library that made it is closed.
  std::string error;
  bool failed = false;
  try {
    entry(handle, kProcessAttach, nullptr);
  } catch (const std::exception& e) {
    failed = true;
    error = e.what();
  } catch (...) {
    failed = true;
    error = "unknown exception";
  }
  if (failed) {
    dlclose(handle);
    return {false, error};
  }
  handle_ = handle;
  entry_ = entry;
  return {true, ""};
}

std::string PluginLoader::Unload() {
  if (!loaded()) return "";
  std::string error;
  try {
    entry_(handle_, kProcessDetach, nullptr);
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "unknown exception";
  }
  dlclose(handle_);
  handle_ = nullptr;
  entry_ = nullptr;
  return error;
}

}  // namespace sim
