#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/fstring.h"
#include "host/game_types.h"

// Everything the plug-in reads from its configuration, typed: built once from a document the
// check passed (base/config_schema.h names, row by row, the member each key fills) and never
// changed after. Each member's initial value is what the plug-in does without its key. A value
// of the wrong type, which no checked document holds, reads as missing, so building never
// throws on one.

// The size and seconds of a refusal notification.
struct RefusalDisplay {
  float scale;
  float time;
};

// The colour, size and seconds of the show-limits notification.
struct ShowLimitsDisplay {
  FLinearColor colour;
  float scale;
  float time;
};

struct GeneralSettings {
  bool ignore_admin = false;
  std::optional<int32_t> max_amount;  // without it every gain is refused (a limit of 0)
  std::optional<float> notification_scale;
  std::optional<float> notification_time;
  int32_t recount_interval = 0;  // seconds; the counts are rebuilt on the timer while positive
  bool log_refusals = true;
  int32_t warn_at_percent = 0;  // no warning unless from 1 to 99

  // Refusals are shown only with both of their numbers.
  std::optional<RefusalDisplay> Refusal() const;
};

struct ColourSettings {
  std::optional<float> red, green, blue;
};

struct MessageSettings {
  // Every text of the section by its key, decoded from UTF-8.
  std::map<std::string, std::wstring, std::less<>> texts;
  std::optional<std::string> show_limits_type;  // "Notification" or "Chat"
  ColourSettings colour;
  std::optional<float> show_limits_scale;
  std::optional<float> show_limits_time;

  // The text of `key`, or null without one.
  const std::wstring* Find(std::string_view key) const;
  // The text of `key`, "No message" without one.
  std::wstring Text(std::string_view key) const;
  // The show-limits notification needs all five of its numbers.
  std::optional<ShowLimitsDisplay> ShowLimits() const;
};

// One member of "Dinos".
struct KindSettings {
  std::optional<int32_t> count;      // no limit to speak of without it (9999)
  std::optional<std::wstring> name;  // shown in place of the path
};

// One entry of "Tiers": limits for the players of a permission group.
struct TierSettings {
  std::string group;
  FString group_name;  // the same as a game string, as the permissions library takes it
  bool unlimited = false;
  std::optional<int32_t> max_amount;                    // in place of General.MaxAmount
  std::vector<std::pair<std::string, int32_t>> counts;  // its "Dinos": a base kind's key -> Count
  // An earlier tier names the same group, so this one never decides and its group is not asked.
  bool repeats_group = false;
};

// "Cluster": the database through which the maps of a cluster share their counts.
struct ClusterSettings {
  std::string server_name;  // this map's name, unique in the cluster
  std::string host = "127.0.0.1";
  int32_t port = 3306;
  std::string user;
  std::string password;  // never written into a log line, answer or finding
  std::string database;
  std::string socket;  // a unix socket path, used in place of host and port when not empty
  std::string cluster_name = "default";
  int32_t sync_interval_ms = 500;

  // A reload whose section differs in anything reconnects.
  bool operator==(const ClusterSettings&) const = default;
};

struct Settings {
  bool debug = false;
  GeneralSettings general;
  MessageSettings messages;
  // "Dinos" in file order, by key as written.
  std::vector<std::pair<std::string, KindSettings>> kinds;
  // "ItemMap": an item's path -> the path of the creature it spawns.
  std::map<std::string, std::string, std::less<>> item_map;
  // "Tiers" in file order, without entries that name no group.
  std::vector<TierSettings> tiers;
  // Without the section the map counts alone and no connection is made.
  std::optional<ClusterSettings> cluster;
};

// The settings of `document`; every key it lacks (and so an empty or null document) leaves its
// member as it starts.
Settings ReadSettings(const nlohmann::json& document);
