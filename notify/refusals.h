#pragma once

#include <cstdint>
#include <string_view>

#include "counting/limits.h"
#include "host/game_types.h"

// What a player and the owner learn of a refusal and of a limit coming near. Game thread only.

// Writes "ROAD refused for team TEAM (NAME, Steam id ID): PATH (REASON)" to the plug-in log at
// info level, the player part naming the acting player when there is one, the reason one of
// "kind limit COUNT/LIMIT", "total limit TOTAL/MAX" and "over the kind limit of KIND COUNT/LIMIT"
// (the kind's display name, else its path; "over a kind limit" when no kind is over), followed by
// ", tier GROUP" when a tier's limits decided; nothing when General.LogRefusals is false. Names
// and paths are written as escaped fields.
void LogRefusal(std::string_view road, int32_t team_id, AShooterPlayerController* player,
                const FString& path_name, const LimitCheck& check);
// The same for a merge or invitation: "ROAD refused for teams NEW and OLD: PATH (kind limit
// SUM/LIMIT)", or "...: all creatures (total limit SUM/MAX)".
void LogMergeRefusal(std::string_view road, int32_t new_team, int32_t old_team,
                     const MergeCheck& check);

// Tells the player that a limit decided, as a red refusal notification: Messages.ReachKindLimit
// ({name}, {count}, {limit}) when a kind limit decided or the team is over one (of that kind),
// Messages.ReachTotalLimit ({total}, {max}) when the total did, else, and without those keys,
// Messages.ReachLimit as it stands.
void NotifyLimit(const LimitCheck& check, AShooterPlayerController* controller);

// After a gain the plug-in counted: when General.WarnAtPercent is set and the team's count of
// the kind, or its total, has now reached that share of its limit (the tier's, with a tier)
// while still below it, sends Messages.NearLimit ({name}, {count}, {limit}) or
// Messages.NearTotalLimit ({total}, {max}) as a notification in the show-limits colour, scale and
// time. Nothing for a key that is missing, or for an Unlimited tier.
void WarnNearLimit(const FString& path_name, int32_t team_id, AShooterPlayerController* controller,
                   Tier tier);
