#include "notify/refusals.h"

#include <optional>
#include <string>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/config.h"
#include "base/log_field.h"
#include "base/logger.h"
#include "base/text.h"
#include "counting/dino_count_store.h"
#include "counting/team_identity.h"
#include "host/game_access.h"
#include "notify/messages.h"

namespace {

// How the log names a kind: its display name when it has one, else its key.
std::string KindField(const KindCounts& kind, const FString& path) {
  return LogField(kind.name().empty() ? ToUtf8(path)
                                      : ArkApi::Tools::Utf8Encode(std::wstring(kind.name())));
}

std::string Reason(Refusal refusal, int64_t count, int32_t limit, Tier tier,
                   const std::string& over = {}) {
  std::string reason;
  switch (refusal) {
    case Refusal::kOverKindLimit:
      reason = over.empty() ? std::string("over a kind limit")
                            : fmt::format("over the kind limit of {} {}/{}", over, count, limit);
      break;
    case Refusal::kTotalLimit:
      reason = fmt::format("total limit {}/{}", count, limit);
      break;
    default:
      reason = fmt::format("kind limit {}/{}", count, limit);
      break;
  }
  return tier ? reason + ", tier " + LogField(tier.settings->group) : reason;
}

// A text of the Messages section formatted with named placeholders, its braces then doubled so
// that a sender's format step shows it as formatted; nothing when the key is missing. Throws the
// formatting library's error for a text it rejects (which no checked configuration holds).
template <typename... Args>
std::optional<std::wstring> NamedText(const char* key, const Args&... args) {
  const std::wstring* text = CurrentSettings().messages.Find(key);
  if (text == nullptr) return std::nullopt;
  return EscapeBraces(fmt::format(fmt::runtime(std::wstring_view(*text)), args...));
}

std::optional<std::wstring> KindText(const char* key, const KindCounts& kind, int64_t count,
                                     int32_t limit) {
  return NamedText(key, fmt::arg(L"name", kind.name()), fmt::arg(L"count", count),
                   fmt::arg(L"limit", limit));
}

std::optional<std::wstring> TotalText(const char* key, int64_t total, int32_t max) {
  return NamedText(key, fmt::arg(L"total", total), fmt::arg(L"max", max));
}

// " (NAME, Steam id ID)" for a player, nothing without one.
std::string PlayerPart(AShooterPlayerController* player) {
  if (player == nullptr) return {};
  const uint64_t steam_id = ArkApi::GetApiUtils().GetSteamIdFromController(player);
  const AShooterPlayerState* state = PlayerStateOf(player);
  if (state == nullptr) return fmt::format(" (Steam id {})", steam_id);
  return fmt::format(" ({}, Steam id {})",
                     LogField(ToUtf8(Field<"APlayerState.PlayerName">(state))), steam_id);
}

}  // namespace

void LogRefusal(std::string_view road, int32_t team_id, AShooterPlayerController* player,
                const FString& path_name, const LimitCheck& check) {
  if (!CurrentSettings().general.log_refusals) return;
  const std::string over =
      check.over != nullptr ? KindField(*check.over, *check.over_path) : std::string();
  Log().info("{} refused for team {}{}: {} ({})", road, team_id, PlayerPart(player),
             LogField(ToUtf8(path_name)),
             Reason(check.refusal, check.count, check.limit, check.tier, over));
}

void LogMergeRefusal(std::string_view road, int32_t new_team, int32_t old_team,
                     const MergeCheck& check) {
  if (!CurrentSettings().general.log_refusals) return;
  const std::string what =
      check.path != nullptr ? LogField(ToUtf8(*check.path)) : std::string("all creatures");
  Log().info("{} refused for teams {} and {}: {} ({})", road, new_team, old_team, what,
             Reason(check.refusal, check.count, check.limit, check.tier));
}

void NotifyLimit(const LimitCheck& check, AShooterPlayerController* controller) {
  std::optional<std::wstring> text;
  if (check.refusal == Refusal::kKindLimit && check.kind != nullptr) {
    text = KindText("ReachKindLimit", *check.kind, check.count, check.limit);
  } else if (check.refusal == Refusal::kOverKindLimit && check.over != nullptr) {
    text = KindText("ReachKindLimit", *check.over, check.count, check.limit);
  } else if (check.refusal == Refusal::kTotalLimit) {
    text = TotalText("ReachTotalLimit", check.count, check.limit);
  }
  if (!text) return NotifyPlayer("ReachLimit", controller);
  NotifyText(*text, "ReachLimit", controller);
}

void WarnNearLimit(const FString& path_name, int32_t team_id, AShooterPlayerController* controller,
                   Tier tier) {
  const Settings& settings = CurrentSettings();
  const int32_t percent = settings.general.warn_at_percent;
  if (percent <= 0 || controller == nullptr || tier.unlimited()) return;
  const auto near = [percent](int64_t count, int64_t limit) {
    return count < limit && count * 100 >= limit * percent;
  };
  const TeamCounts counts = CountsOf(team_id);
  std::optional<std::wstring> texts[2];
  if (const KindCounts* kind = Store().FindKind(path_name)) {
    const int64_t count = counts.Of(*kind);
    const int32_t limit = kind->LimitFor(tier);
    if (near(count, limit)) texts[0] = KindText("NearLimit", *kind, count, limit);
  }
  if (const int32_t max = TotalLimitFor(tier); near(counts.total(), max))
    texts[1] = TotalText("NearTotalLimit", counts.total(), max);
  if (!texts[0] && !texts[1]) return;
  const std::optional<ShowLimitsDisplay> display = settings.messages.ShowLimits();
  if (!display) return;
  for (const auto& text : texts) {
    if (text)
      SendNotification(controller, display->colour, display->scale, display->time, text->c_str());
  }
}
