// Tribe joins and merges: a join that would take the joined team over a limit is refused, and
// after every join the old team's counts become the new team's, so they follow the creatures
// without a full recount.
#include "base/debug.h"
#include "base/guard.h"
#include "counting/dino_count_store.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "counting/tiers.h"
#include "hooks/hooks.h"
#include "host/game_access.h"
#include "notify/messages.h"
#include "notify/refusals.h"

namespace {

// The added player's own controller, or null.
AShooterPlayerController* OwnControllerOf(AShooterPlayerState* player_state) {
  if (player_state == nullptr) return nullptr;
  return static_cast<AShooterPlayerController*>(Call<"AActor.GetOwnerController">(player_state));
}

bool InTribe(AShooterPlayerState* player_state) {
  return player_state != nullptr && Call<"AShooterPlayerState.IsInTribe">(player_state);
}

// An invitation or merge as the check saw it, before the game joins the teams.
struct Join {
  AShooterPlayerController* player = nullptr;  // the added player's own controller
  int32_t new_team = 0;                        // the inviter's
  int32_t old_team = 0;                        // the added player's
};

enum class Verdict { kAllow, kRefuse, kOverLimit };

// Finds both teams and asks whether their creatures fit into one team. A missing player or
// inviter, or a team of 0, refuses silently.
Verdict CheckJoin(AShooterPlayerState* player_state, APlayerController* inviter, bool merge,
                  Join& join) {
  join.player = OwnControllerOf(player_state);
  AShooterPlayerState* inviter_state = PlayerStateOf(inviter);
  if (inviter_state == nullptr || join.player == nullptr) return Verdict::kRefuse;
  join.new_team = GetTeamID(inviter_state);
  join.old_team = GetTeamID(player_state);
  const DebugLines debug;
  if (merge) {
    debug("AShooterPlayerState_AddToTribe: team_id1: {}", join.new_team);
    debug("AShooterPlayerState_AddToTribe: team_id2: {}", join.old_team);
  } else {
    debug("|");
    debug("| AShooterPlayerState_AddToTribe: [Invite]: Find team_id1: {}", join.new_team);
    debug("| AShooterPlayerState_AddToTribe: [Invite]: Find team_id2: {}", join.old_team);
    debug("|");
  }
  if (join.new_team == 0 || join.old_team == 0) return Verdict::kRefuse;
  const MergeCheck check = CheckMergedCounts(join.new_team, join.old_team, TierOf(inviter));
  if (check.allowed()) return Verdict::kAllow;
  LogMergeRefusal(merge ? "Merge" : "Invite", join.new_team, join.old_team, check);
  return Verdict::kOverLimit;
}

// Tells both sides that the join would take the team over a limit.
void TellRefused(APlayerController* inviter, const Join& join, bool merge) {
  auto* inviting = static_cast<AShooterPlayerController*>(inviter);
  if (merge) {
    NotifyPlayer("InvitingMergeFail", inviting);
    NotifyPlayer("InvitedMergeFail", join.player);
    LogDebug("AShooterPlayerState_AddToTribe: ReachLimit: Tribe merge prevented!");
  } else {
    LogDebug("| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite prevented!");
    NotifyPlayer("InvitingTribeFail", inviting);
    NotifyPlayer("InvitedPlayerFail", join.player);
  }
}

// A team joining itself moves nothing, and says so as any other join that moved nothing.
void AfterMerge(const Join& join) {
  if (join.old_team != join.new_team && Store().TotalOf(join.old_team) > 0)
    MoveTeamCounts(join.old_team, join.new_team, true,
                   "AShooterPlayerState_AddToTribe: Merge allowed: (Code 1)");
  LogDebug("AShooterPlayerState_AddToTribe: Merge allowed: (Code 2)");
}

void AfterInvite(const Join& join) {
  if (join.old_team != join.new_team && Store().TotalOf(join.old_team) > 0) {
    MoveTeamCounts(join.old_team, join.new_team, true,
                   "| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite allowed! (Code 1)");
  } else {
    LogDebug("| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite allowed! (Code 2)");
  }
}

// A player without a tribe who created one now has the tribe id as team.
void AfterCreating(AShooterPlayerState* player_state, int32_t old_team) {
  if (!InTribe(player_state) || old_team <= 0) return;
  const int32_t new_team = GetTeamID(player_state);
  if (new_team == old_team) return;
  if (Store().TotalOf(old_team) <= 0) {
    LogDebug("| AShooterPlayerState_AddToTribe: [Creating]: Tribe Created! (Code 3)");
    return;
  }
  MoveTeamCounts(old_team, new_team, false,
                 "| AShooterPlayerState_AddToTribe: [Creating]: Tribe Created! (Code 1)");
  LogDebug("| AShooterPlayerState_AddToTribe: [Creating]: Tribe Created! (Code 2)");
}

}  // namespace

bool Hook_AShooterPlayerState_AddToTribe(AShooterPlayerState* player_state, FTribeData* new_tribe,
                                         bool merge_tribe, bool force, bool is_from_invite,
                                         APlayerController* inviter) {
  const auto join_game = [&] {
    return Original<"AShooterPlayerState.AddToTribe">(player_state, new_tribe, merge_tribe, force,
                                                      is_from_invite, inviter);
  };

  if (merge_tribe || is_from_invite) {
    // A refusal stands once decided; a failure before it lets the game decide, and the counts
    // then follow only when both teams were known.
    Verdict verdict = Verdict::kAllow;
    Join join;
    Guarded(__func__, [&] {
      LogDebug("::::Hook_AShooterPlayerState_AddToTribe::::");
      if (merge_tribe && !is_from_invite) {
        verdict = Verdict::kRefuse;
        return;
      }
      LogDebug(merge_tribe ? "AShooterPlayerState_AddToTribe: Merge Invite"
                           : "AShooterPlayerState_AddToTribe: Tribe Invite");
      verdict = CheckJoin(player_state, inviter, merge_tribe, join);
      if (verdict == Verdict::kOverLimit) TellRefused(inviter, join, merge_tribe);
    });
    if (verdict != Verdict::kAllow) return false;
    if (!join_game()) return false;
    // Teams unknown after a failed check: nothing to move.
    if (join.new_team != 0 && join.old_team != 0)
      Guarded(__func__, [&] { merge_tribe ? AfterMerge(join) : AfterInvite(join); });
    return true;
  }

  // Creating a tribe: no limit applies, only the counts move to the new tribe id.
  int32_t old_team = 0;
  Guarded(__func__, [&] {
    LogDebug("::::Hook_AShooterPlayerState_AddToTribe::::");
    old_team = InTribe(player_state) ? 0 : GetTeamID(player_state);
    LogDebug("AShooterPlayerState_AddToTribe: Creating a tribe");
  });
  if (!join_game()) return false;
  Guarded(__func__, [&] { AfterCreating(player_state, old_team); });
  return true;
}
