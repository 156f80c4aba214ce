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

// The display name of a kind: "Name" of its "Dinos" member, empty when there is none.
std::wstring DisplayName(const KindCounts& kind) {
  const nlohmann::json entry =
      PluginConfig["Dinos"].value(kind.config_name, nlohmann::json::object());
  return ArkApi::Tools::Utf8Decode(entry.value("Name", std::string()));
}

// Sends the answer; throws on a missing or mistyped setting and on a rejected template.
void SendLimits(AShooterPlayerController* controller) {
  const int32_t team_id = Field<"AActor.TargetingTeam">(controller);
  const int32_t total = TeamTotal(team_id);
  const auto max_amount = PluginConfig["General"]["MaxAmount"].get<int32_t>();
  nlohmann::json& messages = PluginConfig["Messages"];
  const auto type = messages["ShowLimitsType"].get<std::string>();
  nlohmann::json& colour = messages["NotificationColor"];
  const FLinearColor color{colour["Red"].get<float>(), colour["Green"].get<float>(),
                           colour["Blue"].get<float>(), 1.0f};
  const auto scale = messages["ShowLimitsScale"].get<float>();
  const auto display_time = messages["ShowLimitsDisplayTime"].get<float>();

  std::wstring answer;
  const DinoCounts& kinds = Store().dino_counts;
  if (!kinds.empty()) {
    const std::wstring kind_template = GetText("ShowLimitMsg").ToWide();
    for (const auto& [path, kind] : kinds) {
      const auto it = kind.teams.find(team_id);  // no entry is made for a team without any
      const int32_t count = it == kind.teams.end() ? 0 : it->second;
      // The display name is data: its braces are doubled for the senders' format step, which
      // reads the finished answer once more. Template text keeps its own two levels of doubling.
      answer +=
          FormatTemplate(kind_template, EscapeBraces(DisplayName(kind)), count, KindLimit(kind));
    }
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
