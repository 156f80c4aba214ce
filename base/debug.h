#pragma once

#include <string>
#include <utility>

#include <fmt/format.h>

#include "base/config.h"

// Diagnostic lines: written to standard output while the configuration's "Debug" is true, never
// to the plug-in log.

// The top-level "Debug" switch of the live settings. Never throws.
inline bool DebugEnabled() noexcept { return CurrentSettings().debug; }

// Writes one line to standard output and flushes it, whatever the switch says.
void WriteDebugLine(std::string text);

// Writes one diagnostic line when Debug is on.
void LogDebug(std::string text);

// The same for a line still to be formatted: nothing is formatted while Debug is off.
template <typename... Args>
void LogDebug(fmt::format_string<Args...> format, Args&&... args) {
  if (DebugEnabled()) WriteDebugLine(fmt::format(format, std::forward<Args>(args)...));
}

// For a function that writes several lines: reads the switch once, then formats and writes a
// line only when it was on.
class DebugLines {
 public:
  DebugLines() : enabled_(DebugEnabled()) {}
  explicit operator bool() const { return enabled_; }
  template <typename... Args>
  void operator()(fmt::format_string<Args...> format, Args&&... args) const {
    if (enabled_) WriteDebugLine(fmt::format(format, std::forward<Args>(args)...));
  }

 private:
  bool enabled_;
};
