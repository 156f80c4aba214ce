#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "counting/tiers.h"
#include "host/fstring.h"
#include "host/game_types.h"

// One recipe for every road that guards a gain of a creature (taming, claiming, cryopods, soul
// traps, spawning items, downloads, cloning, admin spawns): the acting player with its team and
// tier, and one call that checks the limits and, on a refusal, writes its lines, tells the
// player and answers that the game's action must be refused. A guard keeps only what is its own:
// which function, which team and which path.

// The player who acts, and the team a gain would count for.
class Actor {
 public:
  Actor(AShooterPlayerController* controller, int32_t team)
      : controller_(controller), team_(team) {}

  AShooterPlayerController* controller() const { return controller_; }
  int32_t team() const { return team_; }  // 0: no team, so no limit
  // The player's tier, asked of the permissions library the first time it is needed.
  Tier tier() const {
    if (!tier_) tier_ = TierOf(controller_);
    return *tier_;
  }

 private:
  AShooterPlayerController* controller_;
  int32_t team_;
  mutable std::optional<Tier> tier_;
};

// The player acting through `controller`, for the team it belongs to: its tribe, else itself
// (0 without a player state).
Actor ActingPlayer(APlayerController* controller);

// What a road writes and tells on a refusal.
struct Road {
  std::string_view name;          // the refusal line's first word: "Tame", "Claim", ...
  std::string_view refused_line;  // the diagnostic line written first, while Debug is on
  const char* notice = nullptr;   // a Messages key told in place of the limit that decided
};

// Checks whether the actor's team may gain a creature of `path` under the actor's tier. On a
// refusal it sets `refuse` first, then writes the road's diagnostic line and refusal line and
// tells the player; a failure while telling reaches the caller's guard with the refusal standing.
void GuardGain(const Road& road, const FString& path, const Actor& who, bool& refuse);

// The limits check a completed tame is counted after: it stays for its diagnostic lines only,
// and its answer decides nothing, since every tame the game completed is counted.
void WriteCheckLines(const FString& path, int32_t team_id);
