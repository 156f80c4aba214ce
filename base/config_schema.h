#pragma once

#include <string_view>

// Every key of the configuration file the plug-in reads, with its type and what happens when it
// is missing: the table the configuration check walks. Adding a key costs one row.
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
};

struct Key {
  std::string_view name;
  Type type;
  std::string_view when_missing = {};   // what the plug-in does without it; empty: nothing notable
  std::string_view when_negative = {};  // for numbers: what a negative value means
};

inline constexpr Key kTopLevelKeys[] = {
    {"General", Type::kSection}, {"Messages", Type::kSection}, {"Dinos", Type::kSection},
    {"ItemMap", Type::kSection}, {"Debug", Type::kBoolean},    {"Tiers", Type::kSection},
};

inline constexpr Key kGeneralKeys[] = {
    {"IgnoreAdmin", Type::kBoolean},
    {"MaxAmount", Type::kInteger,
     "every tame is refused and /limits answers nothing; write the most creatures one team may "
     "own, such as \"MaxAmount\": 150",
     "every tame is refused"},
    {"NotificationScale", Type::kNumber,
     "refusals will not be shown; write the text size, such as \"NotificationScale\": 1.3"},
    {"NotificationDisplayTime", Type::kNumber,
     "refusals will not be shown; write the seconds on screen, such as "
     "\"NotificationDisplayTime\": 6"},
    {"RecountIntervalSeconds", Type::kInteger, {}, "the counts are never rebuilt on a timer"},
    {"LogRefusals", Type::kBoolean},
    {"WarnAtPercent", Type::kPercent},
};

inline constexpr std::string_view kRefusalMissing =
    "this refusal shows \"No message\"; write the text the player should see";
inline constexpr std::string_view kLimitsMissing =
    "/limits will answer nothing; see the shipped examples/config.json for a value";

inline constexpr Key kMessagesKeys[] = {
    {"Sender", Type::kSender,
     "chat answers and the /limits title show \"No message\"; write the name to show, such as "
     "\"Sender\": \"Tamewarden\""},
    {"ShowLimitCmd", Type::kCommandName,
     "the chat command is named \"No message\"; write \"ShowLimitCmd\": \"/limits\""},
    {"ReachLimit", Type::kText, kRefusalMissing},
    {"RestrictedInRange", Type::kText, kRefusalMissing},
    {"InvitingMergeFail", Type::kText, kRefusalMissing},
    {"InvitedMergeFail", Type::kText, kRefusalMissing},
    {"InvitingTribeFail", Type::kText, kRefusalMissing},
    {"InvitedPlayerFail", Type::kText, kRefusalMissing},
    {"ShowLimitsType", Type::kShowLimitsType, kLimitsMissing},
    {"NotificationColor", Type::kColour, kLimitsMissing},
    {"ShowLimitsScale", Type::kNumber, kLimitsMissing},
    {"ShowLimitsDisplayTime", Type::kNumber, kLimitsMissing},
    {"ReachKindLimit", Type::kKindNotice},
    {"ReachTotalLimit", Type::kTotalNotice},
    {"NearLimit", Type::kKindNotice},
    {"NearTotalLimit", Type::kTotalNotice},
    {"ShowLimitMsg", Type::kKindTemplate,
     "/limits shows \"No message\" for each kind; write a line such as \"{0}: {1}/{2}\\n\""},
    {"TotalLimitMsg", Type::kTotalTemplate,
     "/limits ends with \"No message\"; write a line such as \"All creatures: {0}/{1}\""},
};

inline constexpr Key kColourKeys[] = {
    {"Red", Type::kNumber, kLimitsMissing},
    {"Green", Type::kNumber, kLimitsMissing},
    {"Blue", Type::kNumber, kLimitsMissing},
};

inline constexpr Key kKindKeys[] = {
    {"Count",
     Type::kInteger,
     {},
     "no creature of this kind may be gained, and a team owning one is over its limit"},
    {"Name", Type::kPlainText},
};

// One entry of "Tiers".
inline constexpr Key kTierKeys[] = {
    {"Group", Type::kPlainText},
    {"Unlimited", Type::kBoolean},
    {"MaxAmount", Type::kInteger, {}, "every gain of this tier's players is refused"},
    {"Dinos", Type::kSection},
};

inline constexpr Key kTierKindKeys[] = {
    {"Count", Type::kInteger, {}, "this tier's players may gain no creature of this kind"},
};

// The section a key of another section belongs in, for an owner who put it in the wrong one;
// empty when no section has it.
constexpr std::string_view SectionOf(std::string_view key) {
  for (const Key& k : kGeneralKeys)
    if (k.name == key) return "General";
  for (const Key& k : kMessagesKeys)
    if (k.name == key) return "Messages";
  for (const Key& k : kTopLevelKeys)
    if (k.name == key) return "";
  return "";
}

}  // namespace config_schema
