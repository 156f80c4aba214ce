#pragma once

#include <exception>
#include <string_view>
#include <utility>

#include "base/logger.h"

inline constexpr std::string_view kUnknownException = "Unknown exception";

// Runs `body` so that nothing it throws reaches the game, and hands the failure's text to
// `report`, which must not throw: a standard exception's own text, kUnknownException when that
// is empty or the exception is of another kind. True when `body` ended normally.
template <typename Body, typename Report>
bool Contained(Body&& body, Report&& report) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (const std::exception& error) {
    const char* text = error.what();
    report(text != nullptr && *text != '\0' ? std::string_view(text) : kUnknownException);
  } catch (...) {
    report(kUnknownException);
  }
  return false;
}

// Every detour and command handler runs its own work through this: a failure is written to the
// plug-in log at error level as "where: text" and Guarded returns false; what the body decided
// before the failure stands.
template <typename Body>
bool Guarded(std::string_view where, Body&& body) noexcept {
  return Contained(std::forward<Body>(body),
                   [where](std::string_view text) { LogError(where, text); });
}
