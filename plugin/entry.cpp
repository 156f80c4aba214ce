// The library's two exports: the attach/detach entry the host calls with the operating system's
// reason codes, and Plugin_Unload, which the framework may call and which has nothing to do.
#include "host/plugin_entry.h"
#include "plugin/load.h"

#define TW_EXPORT extern "C" __attribute__((visibility("default")))

// A failure in Load leaves this entry as an exception, which the host takes as a failed load.
TW_EXPORT int DllMain(void*, uint32_t reason, void*) {
  switch (reason) {
    case kProcessAttach:
      Load();
      break;
    case kProcessDetach:
      Unload();
      break;
    default:
      break;
  }
  return 1;
}

TW_EXPORT void Plugin_Unload() {}
