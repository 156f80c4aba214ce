#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// The kinds of event the stand-in server and the tool report, named once: the name is what an
// event's "event" member holds (as --json prints it). Every emitter and reader goes by this list.
namespace sim {

enum class EventKind {
  kResult,         // a hooked game function ran or was skipped
  kNotification,   // the plug-in notified a player
  kChat,           // a chat line to a player
  kServerMessage,  // a server message to a player
  kRcon,           // an answer to an RCON request
  kUnequip,        // a player put an item away
  kLog,            // a log line of the plug-in
  kTruth,          // the world's own count of a team's tamed creatures
  kLoad,           // the plug-in loaded, or failed to
  kUnload,         // the plug-in was unloaded
  kError,          // a script line that could not run
  kHelp,           // what `help` shows
  kWorld,          // what `world` shows
  kRconBan,        // an RCON address was banned, or its ban ended
  kCrash,          // an exception escaped into the game
  kSync,           // a `sync` line: the map's cluster state after it
};

inline constexpr std::array<std::string_view, 16> kEventNames = {
    "result", "notification", "chat",  "server_message", "rcon",  "unequip",  "log",   "truth",
    "load",   "unload",       "error", "help",           "world", "rcon_ban", "crash", "sync",
};
static_assert(kEventNames.size() == static_cast<std::size_t>(EventKind::kSync) + 1);

constexpr std::string_view EventName(EventKind kind) {
  return kEventNames[static_cast<std::size_t>(kind)];
}

// The kind of an event as the server reports it, or nothing when it is of no kind named here.
inline std::optional<EventKind> EventKindOf(const nlohmann::json& event) {
  const auto it = std::ranges::find(kEventNames, event.value("event", std::string()));
  if (it == kEventNames.end()) return std::nullopt;
  return static_cast<EventKind>(it - kEventNames.begin());
}

}  // namespace sim
