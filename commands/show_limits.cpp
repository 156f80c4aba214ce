// The show-limits chat command: the asking player's team's count of every configured kind and
// its total, against their limits, laid out by the configured templates.
#include <exception>
#include <string>
#include <string_view>

#include <fmt/xchar.h>

#include "commands/commands.h"
#include "commands/messages.h"
#include "counting/dino_count_store.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "plugin/config.h"
#include "plugin/guard.h"
#include "plugin/logger.h"

namespace {

// A template with positional arguments ("{0}", "{}", format specifications allowed); throws the
// formatting library's error for a template it rejects.
template <typename... Args>
std::wstring FormatTemplate(const std::wstring& tmpl, const Args&... args) {
  return fmt::format(fmt::runtime(std::wstring_view(tmpl)), args...);
}

// A member read without a default: a missing one reads as null, so reading it as a number or
// text fails with the JSON library's type error ("type must be number, but is null").
const nlohmann::json& Required(const nlohmann::json* object, std::string_view key) {
  static const nlohmann::json kNull;
  const nlohmann::json* value = object != nullptr ? ConfigMember(*object, key) : nullptr;
  return value != nullptr ? *value : kNull;
}

// The display name of a kind: "Name" of its "Dinos" member, empty when there is none.
std::wstring DisplayName(const KindCounts& kind) {
  const nlohmann::json* dinos = ConfigMember(PluginConfig(), "Dinos");
  const nlohmann::json* entry = dinos != nullptr ? ConfigMember(*dinos, kind.config_name) : nullptr;
  const nlohmann::json* name = entry != nullptr ? ConfigMember(*entry, "Name") : nullptr;
  if (name == nullptr) return {};
  return ArkApi::Tools::Utf8Decode(name->get_ref<const std::string&>());
}

// Sends the answer; throws on a missing or mistyped setting and on a rejected template.
void SendLimits(AShooterPlayerController* controller) {
  const int32_t team_id = Field<"AActor.TargetingTeam">(controller);
  const int32_t total = Store().TeamTotal(team_id);
  const nlohmann::json* general = ConfigMember(PluginConfig(), "General");
  const int32_t max_amount = ReadInt32(Required(general, "MaxAmount"));
  const nlohmann::json* messages = ConfigMember(PluginConfig(), "Messages");
  const auto type = Required(messages, "ShowLimitsType").get<std::string>();
  const nlohmann::json& colour = Required(messages, "NotificationColor");
  const FLinearColor color{ReadFloat(Required(&colour, "Red")),
                           ReadFloat(Required(&colour, "Green")),
                           ReadFloat(Required(&colour, "Blue")), 1.0f};
  const float scale = ReadFloat(Required(messages, "ShowLimitsScale"));
  const float display_time = ReadFloat(Required(messages, "ShowLimitsDisplayTime"));

  std::wstring answer;
  const DinoCountStore& store = Store();
  if (store.KindCount() > 0) {
    const std::wstring kind_template = GetText("ShowLimitMsg").ToWide();
    store.ForEachKind([&](const FString&, const KindCounts& kind) {
      // No entry is made for a team without any. The display name is data: its braces are
      // doubled for the senders' format step, which reads the finished answer once more.
      answer += FormatTemplate(kind_template, EscapeBraces(DisplayName(kind)),
                               DinoCountStore::CountOf(kind, team_id), kind.limit);
    });
  }
  answer += FormatTemplate(GetText("TotalLimitMsg").ToWide(), total, max_amount);

  if (type == "Notification") {
    const std::wstring title = GetText("Sender").ToWide();
    SendNotification(controller, color, scale * 2, display_time, title.c_str());
    SendNotification(controller, color, scale, display_time, answer.c_str());
  } else if (type == "Chat") {
    SendChatMessage(controller, GetText("Sender"), answer.c_str());
  }
}

}  // namespace

void ShowLimitsCmd(AShooterPlayerController* controller, FString*, EChatSendMode::Type) {
  Guarded("ShowLimitsCmd", [&] {
    if (ArkApi::GetApiUtils().IsPlayerDead(controller)) return;
    // A failed answer is the server owner's configuration to fix, not a fault of the plug-in.
    try {
      SendLimits(controller);
    } catch (const std::exception& error) {
      Log().warn("{}", error.what());
    }
  });
}
