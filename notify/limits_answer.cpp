#include "notify/limits_answer.h"

#include <fmt/xchar.h>

#include "notify/messages.h"
#include "host/ark_api.h"
#include "base/config.h"

namespace {

// A template with positional arguments ("{0}", "{}", format specifications allowed); throws the
// formatting library's error for a template it rejects.
template <typename... Args>
std::wstring FormatTemplate(const std::wstring& tmpl, const Args&... args) {
  return fmt::format(fmt::runtime(std::wstring_view(tmpl)), args...);
}

}  // namespace

const nlohmann::json& Required(const nlohmann::json* object, std::string_view key) {
  static const nlohmann::json kNull;
  const nlohmann::json* value = object != nullptr ? ConfigMember(*object, key) : nullptr;
  return value != nullptr ? *value : kNull;
}

const nlohmann::json& RequiredSetting(std::string_view section, std::string_view key) {
  return Required(ConfigMember(PluginConfig(), section), key);
}

std::wstring KindDisplayName(const KindCounts& kind) {
  const nlohmann::json* dinos = ConfigMember(PluginConfig(), "Dinos");
  const nlohmann::json* entry = dinos != nullptr ? ConfigMember(*dinos, kind.config_name) : nullptr;
  const nlohmann::json* name = entry != nullptr ? ConfigMember(*entry, "Name") : nullptr;
  if (name == nullptr) return {};
  return ArkApi::Tools::Utf8Decode(name->get_ref<const std::string&>());
}

std::wstring LimitsAnswer(int32_t team_id, int32_t total, int32_t max_amount, const Tier* tier) {
  const std::size_t* tier_index = tier != nullptr ? &tier->index : nullptr;
  std::wstring answer;
  const DinoCountStore& store = Store();
  if (store.KindCount() > 0) {
    const std::wstring kind_template = GetText("ShowLimitMsg").ToWide();
    store.ForEachKind([&](const FString&, const KindCounts& kind) {
      // The display name is data: its braces are doubled for the senders' format step, which
      // reads the finished answer once more.
      answer += FormatTemplate(kind_template, EscapeBraces(KindDisplayName(kind)),
                               DinoCountStore::CountOf(kind, team_id), kind.LimitFor(tier_index));
    });
  }
  answer += FormatTemplate(GetText("TotalLimitMsg").ToWide(), total, max_amount);
  return answer;
}
