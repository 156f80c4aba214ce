#pragma once

#include <string>
#include <utility>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "host/game_types.h"

// The configuration file, config.json in the plug-in's folder under the server directory, and
// the helpers every other part reads it through. Everything here runs on the game thread.

// The live configuration: every reader looks its keys up at the moment of use, so a reload
// takes effect at once. Null until the first successful read.
extern nlohmann::json PluginConfig;
// General.IgnoreAdmin as of the last successful read.
extern bool IgnoreAdminFlag;

// Reads the file into PluginConfig and refreshes IgnoreAdminFlag, all or nothing: on failure
// (no file: "Can't open config.json"; bad JSON; a top level that is no object; General missing;
// IgnoreAdmin no boolean) both stay as they were, the error text is logged at error level and
// the exception passed on.
void ReadConfig();

// Messages[key] as a game string, "No message" when Messages lacks the key. Throws the JSON
// library's type error when Messages is missing or no object, or the text is no string.
FString GetText(const std::string& key);

// The top-level "Debug" switch, read now: false when missing or no boolean. Never throws.
bool DebugEnabled() noexcept;

// Writes one line to standard output and flushes it, whatever the switch says.
void WriteDebugLine(std::string text);

// Writes one diagnostic line to standard output when Debug is on; never to the plug-in log.
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

// "tw.reload" on the console: reloads, recounts, and answers the admin in a server message.
void ReloadConfigCmd(APlayerController* controller, FString* command, bool);
// "tw.reload" over RCON: the same, answering on the connection.
void ReloadConfigRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*);
