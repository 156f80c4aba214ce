#pragma once

#include <cstdint>
#include <string_view>

#include "counting/dino_count_store.h"
#include "counting/tiers.h"
#include "host/fstring.h"

// The operations every decision of the plug-in goes through. A kind's limit is the one of the
// configured kind the path matched (ignoring case), as the last recount read it; the total limit
// is General.MaxAmount of the live settings. A path of no configured kind is limited only by the
// team's total and flag.

// Records that a team gained (+) or lost (-) creatures of a kind (DinoCountStore::Change), with
// its diagnostic lines.
void UpdateDinoCount(const FString& path_name, int32_t team_id, int32_t change);

// A tribe join: the old team's creatures become the new team's (DinoCountStore::MoveTeam), with
// each kind's diagnostic lines on both sides followed by `line`. Nothing happens when both teams
// are one.
void MoveTeamCounts(int32_t old_team, int32_t new_team, bool add, std::string_view line);

// What the checks read of one team: its counts in the whole cluster, this map's own plus what
// the other maps last wrote (none without a cluster). Every check reads its counts through
// CountsOf, so they are added there once for all of them.
class TeamCounts {
 public:
  TeamCounts(const DinoCountStore& store, int32_t team_id)
      : store_(store), others_(store.OthersOf(team_id)), team_(team_id) {}
  int64_t total() const { return store_.TotalOf(team_) + (others_ ? others_->total : 0); }
  int64_t Of(const KindCounts& kind) const {
    return kind.CountOf(team_) + (others_ && others_->kinds ? kind.OtherOf(team_) : 0);
  }
  // Whether some kind of the team is over its limit (the flag, or a kind over only with the
  // other maps' counts), or over the tier's limit for it.
  bool OverAKindLimit(Tier tier) const;

 private:
  const DinoCountStore& store_;
  const OtherCounts* others_;  // null when no other map holds counts of the team
  int32_t team_;
};
TeamCounts CountsOf(int32_t team_id);

// Why a check refused, if it did.
enum class Refusal {
  kNone,
  kOverKindLimit,  // the team's flag: some kind of it is over that kind's limit
  kTotalLimit,     // the team's total has reached General.MaxAmount
  kKindLimit,      // its count of the kind has reached the kind's limit
};

// What a limit check decided, and the numbers that decided it.
struct LimitCheck {
  Refusal refusal = Refusal::kNone;
  const KindCounts* kind = nullptr;  // the configured kind of the path, if any
  // With kOverKindLimit: the first kind, in key order, that the team owns more of than its limit
  // (the tier's, with a tier), and its key; null when the flag stands without such a kind.
  const KindCounts* over = nullptr;
  const FString* over_path = nullptr;
  int64_t count = 0;  // the total or the kind's count that reached the limit, or the over kind's
  int32_t limit = 0;  // that limit
  Tier tier;          // the tier whose limits were checked, if any
  bool allowed() const { return refusal == Refusal::kNone; }
};

// Whether the team may gain one more creature of the kind: its flag is clear, its total is below
// General.MaxAmount and its count of a configured kind is below that kind's limit, checked in
// that order; the first that fails decides; a refusal for the flag names the kind that is over.
// Changes no count. With a tier, the tier's limits decide instead: its MaxAmount and Counts where
// it has them, and in place of the flag whether some kind of the team is above the tier's limit
// for it; an Unlimited tier is never refused.
LimitCheck CheckLimits(const FString& path_name, int32_t team_id, Tier tier = {});
// The same as yes or no.
bool DinoAllowed(const FString& path_name, int32_t team_id);

// What a merge check decided: the total, or the first kind in key order, whose sum passed.
struct MergeCheck {
  Refusal refusal = Refusal::kNone;  // kTotalLimit or kKindLimit when refused
  const KindCounts* kind = nullptr;
  const FString* path = nullptr;  // the kind's key
  int64_t count = 0;              // the sum
  int32_t limit = 0;
  Tier tier;
  bool allowed() const { return refusal == Refusal::kNone; }
};

// Whether two teams may become one: the sum of their totals and, kind by kind in key order, the
// sum of their counts stay within the limits (a sum equal to a limit passes); the tier's limits
// when one is given (the inviter's).
MergeCheck CheckMergedCounts(int32_t team_id1, int32_t team_id2, Tier tier = {});
bool AllowMergedDinoCounts(int32_t team_id1, int32_t team_id2);
