#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/fstring.h"
#include "host/game_types.h"
#include "base/config_check.h"

// The configuration file, config.json in the plug-in's folder under the server directory: read,
// checked before it goes live, and held for every other part to read. Everything here runs on
// the game thread (or the thread that loads the plug-in).

// The live document: null until the first successful read, then replaced only as a whole (at
// load and reload). Readers find values in place; nothing ever writes into it.
const nlohmann::json& PluginConfig();

// General.IgnoreAdmin of the live document (false when missing).
extern bool IgnoreAdminFlag;

// What a read found before the document went live (or did not).
struct ConfigRead {
  nlohmann::json document;        // null when the read failed
  std::vector<Finding> findings;  // the check's, in order; none when the file did not parse
  std::string error;              // the read's own failure: no file, a parse or a type error

  // Why the document must not go live: `error`, else a summary of the error findings; empty
  // when it may.
  std::string Failure() const;
};

// Reads config.json into a separate document and checks it, logging every finding (errors at
// error level, warnings at warning level) and a failure's text at error level. The live
// configuration is not touched. Fails on a missing file ("Can't open config.json"), a parse
// error or a type error of the JSON library (their texts), or error findings.
ConfigRead ReadCheckedConfig();

// Makes `document` the live configuration, resolving what is read from it at every check
// (IgnoreAdminFlag among them), and returns the document it replaces, so that a caller can put
// that one back the same way. Meant for documents the check passed (and for tests).
nlohmann::json InstallConfig(nlohmann::json document);

// A number that changes whenever the live document is replaced, so that what is derived from it
// can tell whether it is current.
uint64_t ConfigGeneration();

// At load: ReadCheckedConfig, then InstallConfig; throws the failure as a runtime error (its
// text already logged) and leaves the live configuration as it was. Returns how many warnings
// the check found.
std::size_t ReadConfig();

// "Config: 12 kinds, 4 item mappings, 1 warning": what the live document configures, with the
// check's warnings.
std::string ConfigSummary(std::size_t warnings);

// The member `key` of `object`, found in place: null when `object` is no object or lacks it.
const nlohmann::json* ConfigMember(const nlohmann::json& object, std::string_view key);

// A JSON number or boolean as the plug-in reads it: fractions cut toward zero and values outside
// the type's range clamped to it; booleans are 1 and 0. Anything else throws the JSON library's
// type error ("type must be number, but is ...").
int32_t ReadInt32(const nlohmann::json& value);
float ReadFloat(const nlohmann::json& value);

// Messages[key] as a game string, "No message" when Messages lacks the key. Throws the JSON
// library's type error when Messages is missing or no object, or the text is no string.
FString GetText(const std::string& key);

// General.MaxAmount of the live document, 0 when it is missing.
int32_t TotalLimit();

// General.RecountIntervalSeconds of the live document: seconds between full recounts on the
// timer, 0 (never) when it is missing or not positive.
int32_t RecountIntervalSeconds();

// The size and seconds of a refusal notification, or nothing when the live document lacks them.
struct RefusalDisplay {
  float scale;
  float time;
};
std::optional<RefusalDisplay> RefusalNotification();

// The colour, size and seconds of the show-limits notification (Messages.NotificationColor,
// ShowLimitsScale, ShowLimitsDisplayTime), or nothing when the live document lacks one.
struct ShowLimitsDisplay {
  FLinearColor colour;
  float scale;
  float time;
};
std::optional<ShowLimitsDisplay> ShowLimitsNotification();

// One entry of "Tiers": limits for the players of a permission group, in priority order.
struct Tier {
  std::size_t index = 0;   // its place in "Tiers"
  std::string group;       // "Group", as written
  FString group_name;      // the same as a game string, as the permissions library takes it
  bool unlimited = false;  // "Unlimited": never refused
  std::optional<int32_t> max_amount;  // "MaxAmount", in place of General.MaxAmount
  std::vector<std::pair<std::string, int32_t>> counts;  // "Dinos": a base kind's key -> "Count"
};
// The tiers of the live document, in file order; none without "Tiers". Entries the check would
// refuse (no group, no object) are left out.
const std::vector<Tier>& Tiers();

// General.LogRefusals of the live document: true unless it is false.
bool LogRefusals();
// General.WarnAtPercent of the live document, 1 to 99; 0 (no warning) when it is missing.
int32_t WarnAtPercent();

// The top-level "Debug" switch of the live document. Never throws.
bool DebugEnabled() noexcept;
