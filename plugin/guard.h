#pragma once

#include <exception>
#include <string_view>

#include "plugin/logger.h"

// Runs `body` so that nothing it throws reaches the game: a failure is written to the plug-in
// log at error level as "where: text" and Guarded returns false. Every detour and command
// handler runs its own work through this; what it decided before a failure stands.
template <typename Body>
bool Guarded(std::string_view where, Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (const std::exception& error) {
    LogError(where, error.what());
  } catch (...) {
    LogError(where, "Unknown exception");
  }
  return false;
}
