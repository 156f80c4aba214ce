#include "base/config_check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/config_schema.h"
#include "base/json_read.h"
#include "base/log_field.h"
#include "base/spelling.h"
#include "base/text.h"
#include "host/ark_api.h"
#include "host/game_text.h"

namespace {

using nlohmann::json;
using namespace config_schema;

// The widest values a template's placeholders take, for the longest line they can make.
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();

// The password's key: no finding shows its value, nor the keys of a value written in its place.
constexpr std::string_view kSecretKey = "Cluster.MysqlPass";

// What a "Dinos" key that never matches means.
constexpr std::string_view kUnlimitedKind =
    "it never matches a creature and the kind would not be limited";

// A text as JSON writes it, in quotes; bytes that are no UTF-8 are replaced, never thrown on.
std::string Quote(std::string_view text) {
  return json(std::string(text)).dump(-1, ' ', false, json::error_handler_t::replace);
}

bool IsIdentifier(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

std::string Child(const std::string& parent, std::string_view name, bool bracket = false) {
  return MemberKey(parent, name, bracket);
}

std::string Index(const std::string& parent, std::size_t i) {
  return parent + "[" + std::to_string(i) + "]";
}

std::wstring Wide(const std::string& text) { return ArkApi::Tools::Utf8Decode(text); }

// What `value` is by its type alone, for a value that must not be shown: "the number 5" or a
// text's first characters would show a password.
std::string TypeOnly(const json& value) {
  switch (value.type()) {
    case json::value_t::null:
      return "null";
    case json::value_t::object:
      return "an object";
    case json::value_t::array:
      return "an array";
    case json::value_t::string:
      return "a text";
    case json::value_t::boolean:
      return "true or false";
    default:
      return "a number";
  }
}

// What `value` is, with the value itself for a text (its start), a boolean or a number.
std::string Article(const json& value) {
  if (value.is_string())
    return "a text (" + Quote(value.get_ref<const std::string&>().substr(0, 60)) + ")";
  if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
  if (value.is_number()) return "the number " + value.dump();
  return TypeOnly(value);
}

bool IsMapName(const json& value) {
  return value.is_string() && ::IsMapName(std::string_view(value.get_ref<const std::string&>()));
}

// A whole number from `low` to `high` (a fraction of zero, as 500.0, is whole).
bool IsWholeIn(const json& value, double low, double high) {
  if (!value.is_number()) return false;
  const double number = value.get<double>();
  return std::trunc(number) == number && number >= low && number <= high;
}

// A text holding only a number, as when a number was written in quotes.
bool LooksNumeric(const json& value) {
  if (!value.is_string()) return false;
  const auto& text = value.get_ref<const std::string&>();
  const json parsed = json::parse(text, nullptr, false);
  return !parsed.is_discarded() && parsed.is_number();
}

// What a replacement field scan found wrong before formatting, or empty.
std::string ScanFields(std::wstring_view text) {
  std::size_t widths = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'{') continue;
    if (i + 1 < text.size() && text[i + 1] == L'{') {
      ++i;
      continue;
    }
    const std::size_t close = text.find(L'}', i + 1);
    if (close == std::wstring_view::npos) return "";  // the formatting step names this one
    const std::wstring_view field = text.substr(i + 1, close - i - 1);
    if (field.find(L'{') != std::wstring_view::npos)
      return "a width or precision taken from a value is not supported";
    const std::size_t colon = field.find(L':');
    if (colon != std::wstring_view::npos) {
      const std::wstring_view layout = field.substr(colon + 1);
      for (std::size_t k = 0; k < layout.size();) {
        if (layout[k] < L'0' || layout[k] > L'9') {
          ++k;
          continue;
        }
        std::size_t number = 0;
        for (; k < layout.size() && layout[k] >= L'0' && layout[k] <= L'9'; ++k)
          number = std::min<std::size_t>(number * 10 + (layout[k] - L'0'), kMaxTemplateOutput + 1);
        if (number > kMaxTemplateOutput)
          return fmt::format("a width or precision above {} is not allowed", kMaxTemplateOutput);
        widths += number;
      }
    }
    i = close;
  }
  if (widths > kMaxTemplateOutput)
    return fmt::format("its widths add up to more than {} characters", kMaxTemplateOutput);
  return "";
}

// Formats `text` with `args` as the plug-in does, then, when `again`, once more with no arguments
// as a sender does; what the formatting library rejected, or what exceeds the output bound.
template <typename... Args>
std::string TryFormat(const std::wstring& text, bool again, const Args&... args) {
  if (std::string scan = ScanFields(text); !scan.empty()) return scan;
  try {
    wchar_t first[kMaxTemplateOutput + 1];
    const auto result =
        fmt::format_to_n(static_cast<wchar_t*>(first), kMaxTemplateOutput + 1,
                         fmt::basic_string_view<wchar_t>(text.data(), text.size()), args...);
    if (result.size > kMaxTemplateOutput)
      return fmt::format("it makes lines longer than {} characters", kMaxTemplateOutput);
    if (again) {
      const std::wstring once(first, result.size);
      (void)fmt::format(fmt::runtime(std::wstring_view(once)));
    }
  } catch (const std::exception& error) {
    return std::string("the formatting step rejects it (") + error.what() + ")";
  }
  return "";
}

// Walks the document section by section, collecting findings in the order of the file's sections.
class Checker {
 public:
  explicit Checker(const json& document) : document_(document) {}

  std::vector<Finding> Run() {
    if (!document_.is_object()) {
      Error("(document)", "the file holds " + Article(document_) +
                              ", but must hold one object with the sections \"General\" and "
                              "\"Messages\": write {\"General\": {...}, \"Messages\": {...}}");
      return std::move(findings_);
    }
    CheckNesting();
    const json* general = Section("General", "the plug-in cannot load without it");
    const json* messages =
        Section("Messages", "the plug-in cannot name its chat command without it");
    if (general != nullptr) CheckMembers("General", *general, kGeneralKeys);
    if (messages != nullptr) CheckMembers("Messages", *messages, kMessagesKeys);
    CheckDinos();
    CheckItemMap();
    CheckTiers();
    CheckCluster();
    CheckUnknown("", document_, kTopLevelKeys);
    for (const Key<Settings>& key : kTopLevelKeys) {  // the plain values beside the sections
      if (key.type != Type::kSection) CheckKey("", document_, key);
    }
    return std::move(findings_);
  }

 private:
  void Error(std::string key, std::string message) {
    findings_.push_back({Severity::kError, std::move(key), std::move(message)});
  }
  void Warn(std::string key, std::string message) {
    findings_.push_back({Severity::kWarning, std::move(key), std::move(message)});
  }

  // Whether `ok`; if not, reports what `value` is and what it must be instead.
  bool Require(bool ok, const std::string& name, const json& value, std::string_view must) {
    if (!ok) Error(name, "is " + Article(value) + ", but must be " + std::string(must));
    return ok;
  }

  // Finds the first value nested deeper than the bound, without recursion: deep nesting is
  // exactly what would exhaust the stack of anything recursive.
  void CheckNesting() {
    struct Frame {
      const json* value;
      std::size_t depth;
      std::string key;
    };
    std::vector<Frame> stack{{&document_, 1, ""}};
    while (!stack.empty()) {
      Frame frame = std::move(stack.back());
      stack.pop_back();
      if (frame.depth > kMaxNesting) {
        Error(frame.key, fmt::format("nests objects and arrays deeper than {} levels, which the "
                                     "plug-in does not read; write the value without the nesting",
                                     kMaxNesting));
        return;
      }
      // What stands inside the password, keys included, goes by the password's key.
      const bool secret = frame.key == kSecretKey;
      if (frame.value->is_object()) {
        for (auto it = frame.value->begin(); it != frame.value->end(); ++it) {
          if (it->is_structured())
            stack.push_back(
                {&*it, frame.depth + 1, secret ? frame.key : Child(frame.key, it.key())});
        }
      } else if (frame.value->is_array()) {
        for (std::size_t i = 0; i < frame.value->size(); ++i) {
          const json& element = (*frame.value)[i];
          if (element.is_structured())
            stack.push_back({&element, frame.depth + 1, secret ? frame.key : Index(frame.key, i)});
        }
      }
    }
  }

  // A section that must be an object; null when it is missing or no object (reported).
  const json* Section(const std::string& name, std::string_view without) {
    const json* section = ConfigMember(document_, name);
    const std::string write = ": write \"" + name + "\": {...}";
    if (section == nullptr) {
      Error(name, "is missing, and " + std::string(without) + write);
      return nullptr;
    }
    return Require(section->is_object(), name, *section, "an object" + write) ? section : nullptr;
  }

  // The base "Dinos" when it is an object, else null.
  const json* BaseKinds() const {
    const json* dinos = ConfigMember(document_, "Dinos");
    return dinos != nullptr && dinos->is_object() ? dinos : nullptr;
  }

  // One key by its row: its value, or a warning when it is missing and that matters.
  template <typename Record>
  void CheckKey(const std::string& parent, const json& object, const Key<Record>& key) {
    const std::string name = Child(parent, key.name);
    if (const json* value = ConfigMember(object, key.name))
      CheckValue(name, key, *value);
    else if (key.required)
      Error(name, "is missing, so " + std::string(key.when_missing));
    else if (!key.when_missing.empty())
      Warn(name, "is missing, so " + std::string(key.when_missing));
  }

  template <typename Record, std::size_t N>
  void CheckMembers(const std::string& parent, const json& object, const Key<Record> (&keys)[N]) {
    for (const Key<Record>& key : keys) CheckKey(parent, object, key);
    CheckUnknown(parent, object, keys);
  }

  // Unknown members. One that is a slip of a known key (letter case, or the few characters
  // NearestName allows) is an error: the owner wrote a value the plug-in would silently not use,
  // such as a limit. Others are warnings, with the section they belong in when they have one.
  template <typename Record, std::size_t N>
  void CheckUnknown(const std::string& parent, const json& object, const Key<Record> (&keys)[N]) {
    std::vector<std::string> names;
    for (const Key<Record>& key : keys) names.emplace_back(key.name);
    for (auto it = object.begin(); it != object.end(); ++it) {
      if (std::find(names.begin(), names.end(), it.key()) != names.end()) continue;
      const std::string name = Child(parent, it.key());
      if (const std::string near = NearestName(it.key(), names); !near.empty()) {
        const std::string ignored = it->is_structured() ? "everything in it would be ignored"
                                                        : "its value would be ignored";
        // Half the letters of a short key changed make another word ("Note" beside "Name"), no
        // slip: that stays a warning.
        const std::size_t distance = SlipDistance(it.key(), near, it.key().size());
        if (distance == 0)
          Error(name, "differs from \"" + near +
                          "\" only in letter case, which keys do not ignore, so " + ignored +
                          "; write \"" + near + "\"");
        else if (distance * 2 < it.key().size())
          Error(name, "is not a key the plug-in knows, so " + ignored + "; did you mean \"" + near +
                          "\"? Write \"" + near + "\"");
        else
          Warn(name,
               "is not a key the plug-in knows, so it is ignored; did you mean \"" + near + "\"?");
        continue;
      }
      std::string message = "is not a key the plug-in knows, so it is ignored";
      if (const std::string_view home = SectionOf(it.key()); !home.empty() && home != parent)
        message += "; it belongs in \"" + std::string(home) + "\"";
      Warn(name, message);
    }
  }

  template <typename Record>
  void CheckValue(const std::string& name, const Key<Record>& key, const json& value) {
    switch (key.type) {
      case Type::kSection:
        return;  // checked by its own function
      case Type::kBoolean:
        Require(value.is_boolean(), name, value, "true or false");
        return;
      case Type::kInteger:
        CheckInteger(name, value, key.when_negative);
        return;
      case Type::kNumber:
        CheckNumber(name, value);
        return;
      case Type::kPercent:
        Require(
            value.is_number_integer() && value.get<int64_t>() >= 1 && value.get<int64_t>() <= 99,
            name, value,
            "a whole number from 1 to 99: the share of a limit at which players are warned, "
            "such as 80");
        return;
      case Type::kColour:
        if (Require(value.is_object(), name, value,
                    "an object: write {\"Red\": 1.0, \"Green\": 0.75, \"Blue\": 0.0}"))
          CheckMembers(name, value, kColourKeys);
        return;
      case Type::kName:
        Require(IsMapName(value), name, value,
                "1 to 64 characters, each a letter, a digit, '_', '.' or '-': write a name such "
                "as \"" +
                    std::string(key.example) + "\"");
        return;
      case Type::kPort:
        Require(IsWholeIn(value, 1, 65535), name, value,
                std::string("a whole number from 1 to 65535, the database server's port") +
                    (LooksNumeric(value) ? ": write it without the quotes" : ", such as 3306"));
        return;
      case Type::kSyncInterval:
        Require(IsWholeIn(value, 50, 60000), name, value,
                std::string("a whole number of milliseconds from 50 to 60000, the time between "
                            "two reads of the other maps' counts") +
                    (LooksNumeric(value) ? ": write it without the quotes" : ", such as 500"));
        return;
      case Type::kSecret:
        // Only its type is named: the value is a password.
        if (!value.is_string())
          Error(name, "is " + TypeOnly(value) +
                          ", but must be a text in double quotes: write the password of "
                          "MysqlUser, or \"\" for none");
        return;
      default:
        break;  // the rest are texts
    }
    if (!Require(value.is_string(), name, value, "a text in double quotes")) return;
    const std::string& text = value.get_ref<const std::string&>();
    switch (key.type) {
      case Type::kCommandName:
        if (text.empty() || text.find(' ') != std::string::npos)
          Warn(name,
               "can never be typed: a chat command is found by the first word of a line; "
               "write one word, such as \"/limits\"");
        break;
      case Type::kText:
        CheckTemplate(name, Wide(text), false,
                      "it takes no placeholders: write {{ and }} for a brace");
        break;
      case Type::kSender:
        if (ShowLimitsType() == "Notification")
          CheckTemplate(name, Wide(text), false,
                        "it is the title of the /limits notification: write {{ and }} for a brace");
        break;
      case Type::kKindTemplate:
        CheckKindTemplate(name, Wide(text));
        break;
      case Type::kTotalTemplate:
        CheckTemplate(name, Wide(text), true,
                      "its placeholders are {0} the team's total and {1} General.MaxAmount; "
                      "write {{{{ and }}}} for a brace",
                      kInt32Min, kInt32Min);
        break;
      case Type::kKindNotice:
        CheckTemplate(name, Wide(text), false,
                      "its placeholders are {name} the kind's name, {count} the team's count and "
                      "{limit} the kind's limit; write {{ and }} for a brace",
                      fmt::arg(L"name", std::wstring(L"Rex")), fmt::arg(L"count", kInt64Min),
                      fmt::arg(L"limit", kInt32Min));
        break;
      case Type::kTotalNotice:
        CheckTemplate(name, Wide(text), false,
                      "its placeholders are {total} the team's total and {max} General.MaxAmount; "
                      "write {{ and }} for a brace",
                      fmt::arg(L"total", kInt64Min), fmt::arg(L"max", kInt32Min));
        break;
      case Type::kShowLimitsType:
        CheckShowLimitsType(name, text);
        break;
      default:
        break;  // a plain text may hold anything
    }
  }

  // Whether `value` is a number to check further; true and false read as 1 and 0 and pass.
  bool IsNumber(const std::string& name, const json& value, std::string_view what,
                std::string_view example) {
    if (value.is_boolean()) return false;
    return Require(value.is_number(), name, value,
                   std::string(what) + (LooksNumeric(value) ? ": write it without the quotes"
                                                            : ", such as " + std::string(example)));
  }

  void CheckNumber(const std::string& name, const json& value) {
    if (!IsNumber(name, value, "a number", "1.5")) return;
    if (std::abs(value.get<double>()) > std::numeric_limits<float>::max())
      Warn(name, fmt::format("is beyond the largest number the plug-in reads, so it is clamped "
                             "to {}",
                             std::numeric_limits<float>::max()));
  }

  void CheckInteger(const std::string& name, const json& value, std::string_view when_negative) {
    if (!IsNumber(name, value, "a whole number", "10")) return;
    constexpr double kLow = kInt32Min;
    constexpr double kHigh = std::numeric_limits<int32_t>::max();
    const double number = value.get<double>();
    if (number > kHigh || number < kLow) {
      Warn(name, fmt::format("is outside {}..{}, so it is clamped to {}", kLow, kHigh,
                             number > kHigh ? kHigh : kLow));
    } else if (value.is_number_float() && std::trunc(number) != number) {
      Warn(name, fmt::format("is not a whole number, so the fraction is cut: it reads as {}",
                             std::trunc(number)));
    }
    if (number < 0 && !when_negative.empty())
      Warn(name, "is negative, so " + std::string(when_negative));
  }

  // Formats `text` as the plug-in does (see TryFormat); on a problem, reports it followed by
  // `about`: what the placeholders are and how to write a brace. Whether it formats.
  template <typename... Args>
  bool CheckTemplate(const std::string& name, const std::wstring& text, bool again,
                     std::string_view about, const Args&... args) {
    const std::string problem = TryFormat(text, again, args...);
    if (!problem.empty()) Error(name, problem + "; " + std::string(about));
    return problem.empty();
  }

  // ShowLimitMsg: formatted for every configured kind, with its display name, and counts and
  // limits of the widest kind.
  void CheckKindTemplate(const std::string& name, const std::wstring& text) {
    std::vector<std::wstring> names;
    if (const json* dinos = BaseKinds()) {
      for (const json& kind : *dinos) {
        const json* display = ConfigMember(kind, "Name");
        if (display != nullptr && display->is_string())
          names.push_back(EscapeBraces(Wide(display->get_ref<const std::string&>())));
      }
    }
    if (names.empty()) names.emplace_back(L"Rex");
    for (const std::wstring& display : names) {
      if (!CheckTemplate(name, text, true,
                         "its placeholders are {0} the kind's name, {1} the team's count and {2} "
                         "the kind's limit; write {{{{ and }}}} for a brace",
                         display, kInt32Min, int32_t{9999}))
        return;
    }
  }

  std::string ShowLimitsType() const {
    const json* messages = ConfigMember(document_, "Messages");
    const json* type = messages != nullptr ? ConfigMember(*messages, "ShowLimitsType") : nullptr;
    return type != nullptr && type->is_string() ? type->get<std::string>() : std::string();
  }

  void CheckShowLimitsType(const std::string& name, const std::string& text) {
    if (text == "Notification" || text == "Chat") return;
    std::string message = "is neither \"Notification\" nor \"Chat\", so /limits answers nothing";
    if (const std::string near = NearestName(text, {"Notification", "Chat"}); !near.empty())
      message += "; did you mean \"" + near + "\"?";
    Warn(name, message);
  }

  void CheckDinos() {
    const json* dinos = ConfigMember(document_, "Dinos");
    // null and [] too: as written, no kind would be limited, which is rarely what was meant.
    if (dinos == nullptr ||
        !Require(dinos->is_object(), "Dinos", *dinos,
                 "an object with one member per creature kind, and as written no kind would be "
                 "limited: write \"Dinos\": {\"Blueprint'/Game/.../X.X'\": {\"Count\": 10, "
                 "\"Name\": \"X\"}}, or \"Dinos\": {} for no kind limits"))
      return;
    std::map<std::string, std::string> by_folded;  // lower-case key -> first key
    for (auto it = dinos->begin(); it != dinos->end(); ++it) {
      const std::string& key = it.key();
      const std::string name = Child("Dinos", key, /*bracket=*/true);
      // A key that can never match leaves the kind its owner limited unlimited.
      if (std::any_of(key.begin(), key.end(),
                      [](char c) { return static_cast<unsigned char>(c) > 0x7F; })) {
        Error(name,
              "holds characters outside ASCII, so it never matches a creature and the kind "
              "would not be limited; copy the path GetDinoBp shows");
      } else if (const std::string problem =
                     PathFormProblem(key, /*ignore_case=*/true, kUnlimitedKind);
                 !problem.empty()) {
        Error(name, problem);
      }
      const auto [first, fresh] = by_folded.try_emplace(game_text::Folded(key), key);
      if (!fresh)
        Warn(name, "equals " + Quote(first->second) +
                       " but for letter case; they are one kind, limited by the Count of " +
                       Quote(first->second));
      if (Require(it->is_object(), name, *it,
                  "an object: write {\"Count\": 10, \"Name\": \"Rex\"}"))
        CheckMembers(name, *it, kKindKeys);
    }
  }

  void CheckItemMap() {
    const json* map = ConfigMember(document_, "ItemMap");
    if (map == nullptr) {
      Warn("ItemMap",
           "is missing, so every item that spawns a creature is checked under its own "
           "path; write \"ItemMap\": {} to say none is mapped");
      return;
    }
    if (!Require(
            map->is_object(), "ItemMap", *map,
            "an object from item paths to creature paths: write \"ItemMap\": "
            "{\"Blueprint'/Game/.../Item.Item'\": \"Blueprint'/Game/.../Creature.Creature'\"}"))
      return;
    for (auto it = map->begin(); it != map->end(); ++it) {
      const std::string name = Child("ItemMap", it.key(), /*bracket=*/true);
      if (const std::string problem = PathFormProblem(it.key(), /*ignore_case=*/false);
          !problem.empty())
        Warn(name, "the item path " + problem);
      if (!Require(it->is_string(), name, *it,
                   "the creature's path as a text: write \"Blueprint'/Game/.../X.X'\""))
        continue;
      if (const std::string problem = PathFormProblem(it->get<std::string>(), /*ignore_case=*/true);
          !problem.empty())
        Warn(name, "the creature path " + problem);
    }
  }

  void CheckTiers() {
    const json* tiers = ConfigMember(document_, "Tiers");
    if (tiers == nullptr || !Require(tiers->is_array(), "Tiers", *tiers,
                                     "a list of tiers in priority order: write \"Tiers\": "
                                     "[{\"Group\": \"VIP\", \"MaxAmount\": 40}]"))
      return;
    if (tiers->size() > kMaxTiers)
      Warn("Tiers", fmt::format("holds {} tiers, more than the {} a server needs; every tame looks "
                                "through them for the player's tier, so keep one tier per group "
                                "and level",
                                tiers->size(), kMaxTiers));
    std::set<std::string> base_kinds;  // the kinds a tier may limit, folded
    if (const json* dinos = BaseKinds()) {
      for (auto it = dinos->begin(); it != dinos->end(); ++it)
        base_kinds.insert(game_text::Folded(it.key()));
    }
    std::map<std::string, std::size_t> groups;  // group -> its first tier
    for (std::size_t i = 0; i < tiers->size(); ++i) {
      const json& tier = (*tiers)[i];
      const std::string name = Index("Tiers", i);
      if (!Require(tier.is_object(), name, tier,
                   "an object: write {\"Group\": \"VIP\", \"MaxAmount\": 40}"))
        continue;
      CheckMembers(name, tier, kTierKeys);
      const json* group = ConfigMember(tier, "Group");
      const std::string group_key = Child(name, "Group");
      if (group == nullptr ||
          (group->is_string() && group->get_ref<const std::string&>().empty())) {
        Error(group_key,
              "is missing or empty, so the tier applies to nobody: write the "
              "permission group's name, such as \"Group\": \"VIP\"");
      } else if (group->is_string()) {
        const auto [first, fresh] = groups.try_emplace(group->get<std::string>(), i);
        if (!fresh)
          Warn(group_key, "is the group of " + Index("Tiers", first->second) +
                              " too, so this tier never decides; remove one of them");
      }
      const json* unlimited = ConfigMember(tier, "Unlimited");
      const json* dinos = ConfigMember(tier, "Dinos");
      const std::string kinds_key = Child(name, "Dinos");
      if (unlimited != nullptr && unlimited->is_boolean() && unlimited->get<bool>() &&
          (ConfigMember(tier, "MaxAmount") != nullptr || dinos != nullptr))
        Warn(name, "is Unlimited, so its MaxAmount and Dinos are never used");
      if (dinos == nullptr ||
          !Require(dinos->is_object(), kinds_key, *dinos,
                   "an object of base kinds: write {\"Blueprint'/Game/.../X.X'\": {\"Count\": 4}}"))
        continue;
      for (auto it = dinos->begin(); it != dinos->end(); ++it) {
        const std::string kind = Child(kinds_key, it.key(), /*bracket=*/true);
        if (!base_kinds.contains(game_text::Folded(it.key())))
          Error(kind,
                "is no kind of the base \"Dinos\", and a tier can only change the Count of "
                "one; add the kind to \"Dinos\" first");
        if (Require(it->is_object(), kind, *it, "an object: write {\"Count\": 4}"))
          CheckMembers(kind, *it, kTierKindKeys);
      }
    }
  }

  void CheckCluster() {
    const json* cluster = ConfigMember(document_, "Cluster");
    if (cluster == nullptr ||
        !Require(cluster->is_object(), "Cluster", *cluster,
                 "an object naming this map and the database the cluster's maps share: write "
                 "\"Cluster\": {\"ServerName\": \"TheIsland\", \"MysqlUser\": \"tamewarden\", "
                 "\"MysqlPass\": \"...\", \"MysqlDB\": \"tamewarden\"}, or leave it out"))
      return;
    CheckMembers("Cluster", *cluster, kClusterKeys);
    // Without a socket the host is connected to; a missing host means 127.0.0.1.
    const auto empty_text = [&](std::string_view key) {
      const json* value = ConfigMember(*cluster, key);
      return value == nullptr ||
             (value->is_string() && value->get_ref<const std::string&>().empty());
    };
    const json* host = ConfigMember(*cluster, "MysqlHost");
    if (host != nullptr && empty_text("MysqlHost") && empty_text("MysqlSocket"))
      Error("Cluster.MysqlHost",
            "is empty and so is MysqlSocket, so the plug-in has no database server to connect "
            "to: write its address, such as \"MysqlHost\": \"127.0.0.1\", or its unix socket, "
            "such as \"MysqlSocket\": \"/run/mysqld/mysqld.sock\"");
  }

  const json& document_;
  std::vector<Finding> findings_;
};

}  // namespace

std::string PathFormProblem(std::string_view path, bool ignore_case, std::string_view never) {
  const bool wrapped = game_text::IsWrapped(path, ignore_case);
  const std::string_view inner = game_text::Unwrap(path, ignore_case);
  const std::size_t slash = inner.rfind('/');
  const std::string_view leaf = slash == std::string_view::npos ? inner : inner.substr(slash + 1);
  const std::size_t dot = leaf.find('.');
  const std::string_view name = leaf.substr(0, dot == std::string_view::npos ? 0 : dot);
  const std::string_view object = leaf.substr(dot == std::string_view::npos ? 0 : dot + 1);
  const bool well_formed =
      inner.starts_with('/') && dot != std::string_view::npos && dot > 0 &&
      (ignore_case ? game_text::EqualsIgnoringCase(name, object) : name == object);
  if (wrapped && well_formed) return "";
  const std::string matches = never.empty() ? "it never matches" : std::string(never);
  if (!wrapped && well_formed)
    return "is not wrapped in Blueprint'...', so " + matches + "; write " +
           Quote(game_text::Wrap(path));
  return "is not a blueprint path of the form Blueprint'/Game/.../X.X', so " + matches +
         "; copy the path GetDinoBp shows";
}

std::string MemberKey(const std::string& parent, std::string_view name, bool bracket) {
  if (!bracket && IsIdentifier(name))
    return parent.empty() ? std::string(name) : parent + "." + std::string(name);
  return parent + "[" + Quote(name) + "]";
}

std::vector<Finding> CheckConfig(const nlohmann::json& document) { return Checker(document).Run(); }

bool IsMapName(std::string_view name) {
  return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-';
  });
}

std::size_t CountFindings(const std::vector<Finding>& findings, Severity severity) {
  return static_cast<std::size_t>(std::count_if(
      findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

std::string FormatFinding(const Finding& finding) {
  // The key and the message quote what the owner wrote: escaped and bounded as any log field.
  return std::string(finding.severity == Severity::kError ? "error: " : "warning: ") +
         LogField(finding.key) + ": " + LogField(finding.message);
}
