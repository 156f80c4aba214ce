#pragma once

#include <cstdint>

// The entry every plug-in library exports under this name: called with kProcessAttach right
// after the library is loaded and with kProcessDetach right before it is unloaded. A load fails
// when an exception leaves the attach call.
inline constexpr char kPluginEntryName[] = "DllMain";
inline constexpr char kPluginUnloadName[] = "Plugin_Unload";
using PluginEntryFn = int(void* module, uint32_t reason, void* reserved);
inline constexpr uint32_t kProcessDetach = 0;
inline constexpr uint32_t kProcessAttach = 1;
inline constexpr uint32_t kThreadAttach = 2;
inline constexpr uint32_t kThreadDetach = 3;
