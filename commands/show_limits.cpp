// The show-limits chat command: the asking player's team's count of every configured kind and
// its total, against their limits, laid out by the configured templates.
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/config.h"
#include "base/guard.h"
#include "base/logger.h"
#include "commands/commands.h"
#include "counting/tiers.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "notify/limits_answer.h"
#include "notify/messages.h"

namespace {

// Sends the answer; without a setting it needs, writes the warning owners have always read and
// sends nothing. Throws on a template the formatting step rejects.
void SendLimits(AShooterPlayerController* controller) {
  const int32_t team_id = Field<"AActor.TargetingTeam">(controller);
  // The asking player's tier, if any, sets the limits shown.
  const Tier tier = TierOf(controller);
  const std::optional<int32_t> max_amount = MaxAmountFor(tier);
  const MessageSettings& messages = CurrentSettings().messages;
  const std::optional<ShowLimitsDisplay> display = messages.ShowLimits();
  if (!max_amount || !messages.show_limits_type || !display) {
    Log().warn("{}", max_amount && !messages.show_limits_type ? kMissingText : kMissingNumber);
    return;
  }

  const std::wstring answer = LimitsAnswer(team_id, *max_amount, tier);

  if (*messages.show_limits_type == "Notification") {
    const std::wstring title = SenderName();
    SendNotification(controller, display->colour, display->scale * 2, display->time, title.c_str());
    SendNotification(controller, display->colour, display->scale, display->time, answer.c_str());
  } else if (*messages.show_limits_type == "Chat") {
    SendChatMessage(controller, FString(SenderName()), answer.c_str());
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
