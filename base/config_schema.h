#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/json_read.h"
#include "base/settings.h"
#include "host/ark_api.h"
#include "host/game_text.h"

// Every key of the configuration file the plug-in reads: its type, what happens when it is
// missing, and the member of the settings it fills. The check walks these tables to report what
// is wrong, and ReadSettings walks them to fill the settings from a checked document. Adding a
// key costs one row here and the line that uses its member.
namespace config_schema {

enum class Type {
  kSection,  // an object or array checked on its own
  kBoolean,
  kInteger,        // read as a signed 32-bit number; fractions cut, the range clamped
  kNumber,         // read as a 32-bit float
  kPlainText,      // a text shown as written, such as a display name
  kCommandName,    // a chat command's name: one word
  kText,           // a text every sender formats once with no arguments
  kSender,         // a text that is also the title of the /limits notification
  kKindTemplate,   // Messages.ShowLimitMsg: {0} name, {1} count, {2} limit
  kTotalTemplate,  // Messages.TotalLimitMsg: {0} total, {1} MaxAmount
  kKindNotice,     // a text with {name}, {count} and {limit} of a kind
  kTotalNotice,    // a text with {total} and {max}
  kPercent,        // a whole number from 1 to 99
  kShowLimitsType,
  kColour,
  kName,          // a name other maps see: 1 to 64 letters, digits, '_', '.' or '-'
  kPort,          // a TCP port: a whole number from 1 to 65535
  kSyncInterval,  // milliseconds between two reads of the other maps' counts: 50 to 60000
  kSecret,        // a text whose value no finding, log line or answer ever shows
};

// One key of a section whose values fill a `Record`.
template <typename Record>
struct Key {
  std::string_view name;
  Type type;
  // Stores the key's value (present, of any type) in the record; null for a key nothing reads.
  void (*read)(Record& record, std::string_view name, const nlohmann::json& value) = nullptr;
  std::string_view when_missing = {};   // what the plug-in does without it; empty: nothing notable
  std::string_view when_negative = {};  // for numbers: what a negative value means
  // Whether a document without it is refused: without it the plug-in would enforce a limit the
  // owner did not write, or could not do what its section asks.
  bool required = false;
  std::string_view example = {};  // a value to write, for a finding about a wrong one
};

// The values of `object`'s keys, each by its row; a key that is missing leaves its member alone.
template <typename Record, std::size_t N>
void ReadMembers(const nlohmann::json& object, const Key<Record> (&keys)[N], Record& record) {
  for (const Key<Record>& key : keys) {
    const nlohmann::json* value = ConfigMember(object, key.name);
    if (key.read != nullptr && value != nullptr) key.read(record, key.name, *value);
  }
}

// Stores a value in the member `Field` as its type reads it; a value of another JSON type
// leaves the member as it was.
template <auto Field, typename Record>
void Set(Record& record, std::string_view, const nlohmann::json& value) {
  auto& member = record.*Field;
  using T = std::remove_cvref_t<decltype(member)>;
  const bool number = value.is_number() || value.is_boolean();
  if constexpr (std::is_same_v<T, bool>) {
    if (value.is_boolean()) member = value.get<bool>();
  } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, std::optional<int32_t>>) {
    if (number) member = ReadInt32(value);
  } else if constexpr (std::is_same_v<T, std::optional<float>>) {
    if (number) member = ReadFloat(value);
  } else if constexpr (std::is_same_v<T, std::string> ||
                       std::is_same_v<T, std::optional<std::string>>) {
    if (value.is_string()) member = value.get<std::string>();
  } else {
    static_assert(std::is_same_v<T, std::optional<std::wstring>>);
    if (value.is_string()) member = ArkApi::Tools::Utf8Decode(value.get<std::string>());
  }
}

// A text of the Messages section, kept by its key.
inline void SetText(MessageSettings& messages, std::string_view name, const nlohmann::json& value) {
  if (value.is_string())
    messages.texts.insert_or_assign(std::string(name),
                                    ArkApi::Tools::Utf8Decode(value.get<std::string>()));
}

// A section read by its own rows.
template <auto Field, const auto& kKeys, typename Record>
void SetSection(Record& record, std::string_view, const nlohmann::json& value) {
  ReadMembers(value, kKeys, record.*Field);
}

inline constexpr std::string_view kRefusalMissing =
    "this refusal shows \"No message\"; write the text the player should see";
inline constexpr std::string_view kLimitsMissing =
    "/limits will answer nothing; see the shipped examples/config.json for a value";

inline constexpr Key<ColourSettings> kColourKeys[] = {
    {"Red", Type::kNumber, Set<&ColourSettings::red>, kLimitsMissing},
    {"Green", Type::kNumber, Set<&ColourSettings::green>, kLimitsMissing},
    {"Blue", Type::kNumber, Set<&ColourSettings::blue>, kLimitsMissing},
};

inline constexpr Key<KindSettings> kKindKeys[] = {
    {"Count",
     Type::kInteger,
     Set<&KindSettings::count>,
     {},
     "no creature of this kind may be gained, and a team owning one is over its limit"},
    {"Name", Type::kPlainText, Set<&KindSettings::name>},
};

// A kind of one tier's "Dinos".
inline constexpr Key<KindSettings> kTierKindKeys[] = {
    {"Count",
     Type::kInteger,
     Set<&KindSettings::count>,
     {},
     "this tier's players may gain no creature of this kind"},
};

// A tier's "Dinos": the Count of each kind that has one, in the section's order.
inline void SetTierCounts(TierSettings& tier, std::string_view, const nlohmann::json& dinos) {
  if (!dinos.is_object()) return;
  for (const auto& [key, entry] : dinos.items()) {
    KindSettings kind;
    ReadMembers(entry, kTierKindKeys, kind);
    if (kind.count) tier.counts.emplace_back(key, *kind.count);
  }
}

// One entry of "Tiers".
inline constexpr Key<TierSettings> kTierKeys[] = {
    {"Group", Type::kPlainText, Set<&TierSettings::group>},
    {"Unlimited", Type::kBoolean, Set<&TierSettings::unlimited>},
    {"MaxAmount",
     Type::kInteger,
     Set<&TierSettings::max_amount>,
     {},
     "every gain of this tier's players is refused"},
    {"Dinos", Type::kSection, SetTierCounts},
};

inline constexpr Key<GeneralSettings> kGeneralKeys[] = {
    {"IgnoreAdmin", Type::kBoolean, Set<&GeneralSettings::ignore_admin>},
    {"MaxAmount", Type::kInteger, Set<&GeneralSettings::max_amount>,
     "every tame would be refused and /limits would answer nothing; write the most creatures one "
     "team may own, such as \"MaxAmount\": 150",
     "every tame is refused", /*required=*/true},
    {"NotificationScale", Type::kNumber, Set<&GeneralSettings::notification_scale>,
     "refusals will not be shown; write the text size, such as \"NotificationScale\": 1.3"},
    {"NotificationDisplayTime", Type::kNumber, Set<&GeneralSettings::notification_time>,
     "refusals will not be shown; write the seconds on screen, such as "
     "\"NotificationDisplayTime\": 6"},
    {"RecountIntervalSeconds",
     Type::kInteger,
     Set<&GeneralSettings::recount_interval>,
     {},
     "the counts are never rebuilt on a timer"},
    {"LogRefusals", Type::kBoolean, Set<&GeneralSettings::log_refusals>},
    {"WarnAtPercent", Type::kPercent, Set<&GeneralSettings::warn_at_percent>},
};

inline constexpr Key<MessageSettings> kMessagesKeys[] = {
    {"Sender", Type::kSender, SetText,
     "chat answers and the /limits title show \"No message\"; write the name to show, such as "
     "\"Sender\": \"Tamewarden\""},
    {"ShowLimitCmd", Type::kCommandName, SetText,
     "the chat command is named \"No message\"; write \"ShowLimitCmd\": \"/limits\""},
    {"ReachLimit", Type::kText, SetText, kRefusalMissing},
    {"RestrictedInRange", Type::kText, SetText, kRefusalMissing},
    {"InvitingMergeFail", Type::kText, SetText, kRefusalMissing},
    {"InvitedMergeFail", Type::kText, SetText, kRefusalMissing},
    {"InvitingTribeFail", Type::kText, SetText, kRefusalMissing},
    {"InvitedPlayerFail", Type::kText, SetText, kRefusalMissing},
    {"ShowLimitsType", Type::kShowLimitsType, Set<&MessageSettings::show_limits_type>,
     kLimitsMissing},
    {"NotificationColor", Type::kColour, SetSection<&MessageSettings::colour, kColourKeys>,
     kLimitsMissing},
    {"ShowLimitsScale", Type::kNumber, Set<&MessageSettings::show_limits_scale>, kLimitsMissing},
    {"ShowLimitsDisplayTime", Type::kNumber, Set<&MessageSettings::show_limits_time>,
     kLimitsMissing},
    {"ReachKindLimit", Type::kKindNotice, SetText},
    {"ReachTotalLimit", Type::kTotalNotice, SetText},
    {"NearLimit", Type::kKindNotice, SetText},
    {"NearTotalLimit", Type::kTotalNotice, SetText},
    {"ShowLimitMsg", Type::kKindTemplate, SetText,
     "/limits shows \"No message\" for each kind; write a line such as \"{0}: {1}/{2}\\n\""},
    {"TotalLimitMsg", Type::kTotalTemplate, SetText,
     "/limits ends with \"No message\"; write a line such as \"All creatures: {0}/{1}\""},
};

// "Dinos": every member is a kind, in the section's order. A key is matched as the game widens
// it, each byte above 0x7F becoming '?', so the Count and Name of a key with such bytes are
// looked up under that form, where there are none unless a key is written so.
inline void SetKinds(Settings& settings, std::string_view, const nlohmann::json& dinos) {
  if (!dinos.is_object()) return;
  for (const auto& [key, entry] : dinos.items()) {
    KindSettings kind;
    if (const nlohmann::json* widened = ConfigMember(dinos, game_text::NarrowAsWidened(key)))
      ReadMembers(*widened, kKindKeys, kind);
    settings.kinds.emplace_back(key, std::move(kind));
  }
}

// "ItemMap": the entries that are texts.
inline void SetItemMap(Settings& settings, std::string_view, const nlohmann::json& map) {
  if (!map.is_object()) return;
  for (const auto& [item, creature] : map.items()) {
    if (creature.is_string()) settings.item_map.emplace(item, creature.get<std::string>());
  }
}

// "Tiers": the entries that name a group, in file order.
inline void SetTiers(Settings& settings, std::string_view, const nlohmann::json& tiers) {
  if (!tiers.is_array()) return;
  std::unordered_set<std::string> groups;
  for (const nlohmann::json& entry : tiers) {
    TierSettings tier;
    ReadMembers(entry, kTierKeys, tier);
    if (tier.group.empty()) continue;
    tier.group_name = FString(ArkApi::Tools::Utf8Decode(tier.group));
    tier.repeats_group = !groups.insert(tier.group).second;
    settings.tiers.push_back(std::move(tier));
  }
}

inline constexpr Key<ClusterSettings> kClusterKeys[] = {
    {"ServerName",
     Type::kName,
     Set<&ClusterSettings::server_name>,
     "the maps of the cluster cannot tell this map's counts from their own; write this map's "
     "name, unique in the cluster, such as \"ServerName\": \"TheIsland\"",
     {},
     /*required=*/true,
     "TheIsland"},
    {"MysqlHost", Type::kPlainText, Set<&ClusterSettings::host>},
    {"MysqlPort", Type::kPort, Set<&ClusterSettings::port>},
    {"MysqlUser",
     Type::kPlainText,
     Set<&ClusterSettings::user>,
     "the plug-in cannot log in to the database; write the database user, such as "
     "\"MysqlUser\": \"tamewarden\"",
     {},
     /*required=*/true},
    {"MysqlPass", Type::kSecret, Set<&ClusterSettings::password>},
    {"MysqlDB",
     Type::kPlainText,
     Set<&ClusterSettings::database>,
     "the plug-in has no database to share the counts in; write the database's name, such as "
     "\"MysqlDB\": \"tamewarden\"",
     {},
     /*required=*/true},
    {"MysqlSocket", Type::kPlainText, Set<&ClusterSettings::socket>},
    {"ClusterName",
     Type::kName,
     Set<&ClusterSettings::cluster_name>,
     {},
     {},
     /*required=*/false,
     "main"},
    {"SyncIntervalMs", Type::kSyncInterval, Set<&ClusterSettings::sync_interval_ms>},
};

// "Cluster": present as an object, the map shares its counts; its missing keys keep their
// defaults.
inline void SetCluster(Settings& settings, std::string_view, const nlohmann::json& cluster) {
  if (!cluster.is_object()) return;
  ClusterSettings read;
  ReadMembers(cluster, kClusterKeys, read);
  settings.cluster = std::move(read);
}

inline constexpr Key<Settings> kTopLevelKeys[] = {
    {"General", Type::kSection, SetSection<&Settings::general, kGeneralKeys>},
    {"Messages", Type::kSection, SetSection<&Settings::messages, kMessagesKeys>},
    {"Dinos", Type::kSection, SetKinds},
    {"ItemMap", Type::kSection, SetItemMap},
    {"Debug", Type::kBoolean, Set<&Settings::debug>},
    {"Tiers", Type::kSection, SetTiers},
    {"Cluster", Type::kSection, SetCluster},
};

// The section a key of another section belongs in, for an owner who put it in the wrong one;
// empty when no section has it.
constexpr std::string_view SectionOf(std::string_view key) {
  for (const auto& k : kGeneralKeys)
    if (k.name == key) return "General";
  for (const auto& k : kMessagesKeys)
    if (k.name == key) return "Messages";
  for (const auto& k : kClusterKeys)
    if (k.name == key) return "Cluster";
  for (const auto& k : kTopLevelKeys)
    if (k.name == key) return "";
  return "";
}

}  // namespace config_schema
