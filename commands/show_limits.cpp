// The show-limits chat command: the asking player's team's count of every configured kind and
// its total, against their limits, laid out by the configured templates.
#include <exception>
#include <string>
#include <string_view>

#include "commands/commands.h"
#include "notify/limits_answer.h"
#include "notify/messages.h"
#include "counting/dino_count_store.h"
#include "counting/tiers.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "base/config.h"
#include "base/guard.h"
#include "base/logger.h"

namespace {

// Sends the answer; throws on a missing or mistyped setting and on a rejected template.
void SendLimits(AShooterPlayerController* controller) {
  const int32_t team_id = Field<"AActor.TargetingTeam">(controller);
  const int32_t total = Store().TeamTotal(team_id);
  // The asking player's tier, if any, sets the limits shown.
  const Tier* tier = TierOf(controller);
  const int32_t max_amount = tier != nullptr && tier->max_amount
                                 ? *tier->max_amount
                                 : ReadInt32(RequiredSetting("General", "MaxAmount"));
  const nlohmann::json* messages = ConfigMember(PluginConfig(), "Messages");
  const auto type = Required(messages, "ShowLimitsType").get<std::string>();
  const nlohmann::json& colour = Required(messages, "NotificationColor");
  const FLinearColor color{ReadFloat(Required(&colour, "Red")),
                           ReadFloat(Required(&colour, "Green")),
                           ReadFloat(Required(&colour, "Blue")), 1.0f};
  const float scale = ReadFloat(Required(messages, "ShowLimitsScale"));
  const float display_time = ReadFloat(Required(messages, "ShowLimitsDisplayTime"));

  const std::wstring answer = LimitsAnswer(team_id, total, max_amount, tier);

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
