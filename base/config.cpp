#include "base/config.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

#include "host/ark_api.h"
#include "base/debug.h"
#include "base/logger.h"

bool IgnoreAdminFlag = false;

namespace {

nlohmann::json& LiveDocument() {
  static nlohmann::json document;
  return document;
}

// What the checks read at every call, resolved once per document: the document changes only
// as a whole, so these always agree with it.
struct Resolved {
  bool debug = false;
  int32_t total_limit = 0;
  int32_t recount_interval = 0;
  int32_t warn_at_percent = 0;
  bool log_refusals = true;
  std::optional<RefusalDisplay> refusal;
  std::optional<ShowLimitsDisplay> show_limits;
  std::vector<Tier> tiers;
};
Resolved resolved;
uint64_t generation = 0;

const nlohmann::json kNull;

void Resolve(const nlohmann::json& document) {
  ++generation;
  resolved = {};
  if (const nlohmann::json* debug = ConfigMember(document, "Debug"); debug && debug->is_boolean())
    resolved.debug = debug->get<bool>();
  // A value the check would refuse reads as missing: resolving never throws.
  const auto number = [](const nlohmann::json* object,
                         std::string_view key) -> const nlohmann::json* {
    const nlohmann::json* value = object != nullptr ? ConfigMember(*object, key) : nullptr;
    return value != nullptr && (value->is_number() || value->is_boolean()) ? value : nullptr;
  };
  const nlohmann::json* messages = ConfigMember(document, "Messages");
  const nlohmann::json* colour =
      messages != nullptr ? ConfigMember(*messages, "NotificationColor") : nullptr;
  const nlohmann::json* red = number(colour, "Red");
  const nlohmann::json* green = number(colour, "Green");
  const nlohmann::json* blue = number(colour, "Blue");
  const nlohmann::json* limits_scale = number(messages, "ShowLimitsScale");
  const nlohmann::json* limits_time = number(messages, "ShowLimitsDisplayTime");
  if (red && green && blue && limits_scale && limits_time) {
    resolved.show_limits =
        ShowLimitsDisplay{{ReadFloat(*red), ReadFloat(*green), ReadFloat(*blue), 1.0f},
                          ReadFloat(*limits_scale),
                          ReadFloat(*limits_time)};
  }
  if (const nlohmann::json* tiers = ConfigMember(document, "Tiers"); tiers && tiers->is_array()) {
    for (const nlohmann::json& entry : *tiers) {
      const nlohmann::json* group = ConfigMember(entry, "Group");
      if (group == nullptr || !group->is_string() || group->get_ref<const std::string&>().empty())
        continue;
      Tier tier;
      tier.index = resolved.tiers.size();
      tier.group = group->get<std::string>();
      tier.group_name = FString(ArkApi::Tools::Utf8Decode(tier.group));
      const nlohmann::json* unlimited = ConfigMember(entry, "Unlimited");
      tier.unlimited = unlimited != nullptr && unlimited->is_boolean() && unlimited->get<bool>();
      if (const nlohmann::json* max = number(&entry, "MaxAmount"))
        tier.max_amount = ReadInt32(*max);
      if (const nlohmann::json* dinos = ConfigMember(entry, "Dinos"); dinos && dinos->is_object()) {
        for (const auto& [key, kind] : dinos->items()) {
          if (const nlohmann::json* count = number(&kind, "Count"))
            tier.counts.emplace_back(key, ReadInt32(*count));
        }
      }
      resolved.tiers.push_back(std::move(tier));
    }
  }
  const nlohmann::json* general = ConfigMember(document, "General");
  if (general == nullptr) return;
  if (const nlohmann::json* log = ConfigMember(*general, "LogRefusals"); log && log->is_boolean())
    resolved.log_refusals = log->get<bool>();
  if (const nlohmann::json* percent = number(general, "WarnAtPercent")) {
    const int32_t value = ReadInt32(*percent);
    if (value >= 1 && value <= 99) resolved.warn_at_percent = value;
  }
  if (const nlohmann::json* max = number(general, "MaxAmount"))
    resolved.total_limit = ReadInt32(*max);
  if (const nlohmann::json* interval = number(general, "RecountIntervalSeconds"))
    resolved.recount_interval = std::max(0, ReadInt32(*interval));
  const nlohmann::json* scale = number(general, "NotificationScale");
  const nlohmann::json* time = number(general, "NotificationDisplayTime");
  if (scale != nullptr && time != nullptr)
    resolved.refusal = RefusalDisplay{ReadFloat(*scale), ReadFloat(*time)};
}

bool ReadIgnoreAdmin(const nlohmann::json& document) {
  const nlohmann::json* general = ConfigMember(document, "General");
  const nlohmann::json* flag = general != nullptr ? ConfigMember(*general, "IgnoreAdmin") : nullptr;
  return flag != nullptr && flag->is_boolean() && flag->get<bool>();
}

void LogFinding(const Finding& finding) {
  const std::string line = "config.json: " + finding.key + ": " + finding.message;
  if (finding.severity == Severity::kError) {
    Log().error(line);
  } else {
    Log().warn(line);
  }
}

}  // namespace

const nlohmann::json& PluginConfig() { return LiveDocument(); }

ConfigRead ReadCheckedConfig() {
  ConfigRead read;
  try {
    const std::string path =
        ArkApi::Tools::GetCurrentDir() + "/ArkApi/Plugins/Tamewarden/config.json";
    std::ifstream file(path);
    if (!file.is_open()) throw std::runtime_error("Can't open config.json");
    // The stream read stops after the first complete value.
    nlohmann::json fresh;
    file >> fresh;
    file.close();
    read.findings = CheckConfig(fresh);
    std::for_each(read.findings.begin(), read.findings.end(), LogFinding);
    // The reads made at once, with the JSON library's own texts for a top level that is no
    // object, a missing General, or an IgnoreAdmin that is no boolean. The document is not live
    // yet, so the writing lookup changes nothing anyone reads.
    (void)fresh["General"].value("IgnoreAdmin", false);
    read.document = std::move(fresh);
  } catch (const std::exception& error) {
    read.error = error.what();
    Log().error(read.error);
  }
  return read;
}

std::string ConfigRead::Failure() const {
  if (!error.empty()) return error;
  const std::size_t errors = CountFindings(findings, Severity::kError);
  if (errors == 0) return "";
  return fmt::format("config.json was refused: {} error{}, each logged above", errors,
                     errors == 1 ? "" : "s");
}

nlohmann::json InstallConfig(nlohmann::json document) {
  nlohmann::json previous = std::exchange(LiveDocument(), std::move(document));
  IgnoreAdminFlag = ReadIgnoreAdmin(LiveDocument());
  Resolve(LiveDocument());
  return previous;
}

std::size_t ReadConfig() {
  ConfigRead read = ReadCheckedConfig();
  if (const std::string failure = read.Failure(); !failure.empty()) {
    throw std::runtime_error(failure);
  }
  InstallConfig(std::move(read.document));
  return CountFindings(read.findings, Severity::kWarning);
}

std::string ConfigSummary(std::size_t warnings) {
  const auto count = [](std::size_t n, const char* one, const char* many) {
    return fmt::format("{} {}", n, n == 1 ? one : many);
  };
  // Kinds equal ignoring case are one.
  std::set<std::string> kinds;
  if (const nlohmann::json* dinos = ConfigMember(PluginConfig(), "Dinos");
      dinos && dinos->is_object()) {
    for (const auto& [name, kind] : dinos->items()) {
      std::string folded = name;
      for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
      kinds.insert(std::move(folded));
    }
  }
  const nlohmann::json* map = ConfigMember(PluginConfig(), "ItemMap");
  const std::size_t mappings = map != nullptr && map->is_object() ? map->size() : 0;
  return "Config: " + count(kinds.size(), "kind", "kinds") + ", " +
         count(mappings, "item mapping", "item mappings") + ", " +
         count(warnings, "warning", "warnings");
}

const nlohmann::json* ConfigMember(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

int32_t ReadInt32(const nlohmann::json& value) {
  constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number_unsigned())
    return static_cast<int32_t>(std::min<uint64_t>(value.get<uint64_t>(), kHigh));
  if (value.is_number_integer())
    return static_cast<int32_t>(std::clamp<int64_t>(value.get<int64_t>(), kLow, kHigh));
  if (value.is_number_float()) {
    const double number = std::trunc(value.get<double>());
    if (std::isnan(number)) return 0;
    return static_cast<int32_t>(std::clamp<double>(number, kLow, kHigh));
  }
  return value.get<int32_t>();  // throws the library's type error
}

float ReadFloat(const nlohmann::json& value) {
  if (!value.is_number_float()) return value.get<float>();  // integers, booleans; else throws
  constexpr double kMax = std::numeric_limits<float>::max();
  const double number = value.get<double>();
  return std::isnan(number) ? 0.0f : static_cast<float>(std::clamp(number, -kMax, kMax));
}

FString GetText(const std::string& key) {
  const nlohmann::json* messages = ConfigMember(PluginConfig(), "Messages");
  // The library's own type error when Messages is missing or no object, without writing.
  const std::string text = (messages != nullptr ? *messages : kNull).value(key, "No message");
  return FString(ArkApi::Tools::Utf8Decode(text));
}

uint64_t ConfigGeneration() { return generation; }

int32_t TotalLimit() { return resolved.total_limit; }

int32_t RecountIntervalSeconds() { return resolved.recount_interval; }

std::optional<RefusalDisplay> RefusalNotification() { return resolved.refusal; }

std::optional<ShowLimitsDisplay> ShowLimitsNotification() { return resolved.show_limits; }

bool LogRefusals() { return resolved.log_refusals; }

const std::vector<Tier>& Tiers() { return resolved.tiers; }

int32_t WarnAtPercent() { return resolved.warn_at_percent; }

bool DebugEnabled() noexcept { return resolved.debug; }

void WriteDebugLine(std::string text) {
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void LogDebug(std::string text) {
  if (DebugEnabled()) WriteDebugLine(std::move(text));
}
