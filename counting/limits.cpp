#include "counting/limits.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "counting/dino_count_store.h"
#include "host/game_facts.h"
#include "base/config.h"
#include "base/debug.h"
#include "base/text.h"

namespace {

bool Fits(int64_t value) { return value >= 0 && value <= std::numeric_limits<int32_t>::max(); }

// A count change of one team and kind is made only for a real path and a counted team.
bool Counted(const FString& path_name, int32_t team_id) {
  return !path_name.IsEmpty() && game_facts::IsPlayerTeam(team_id);
}

// What one change did to a team's count of a configured kind, for the diagnostic lines.
struct KindChange {
  int32_t current;
  int32_t change;
  int64_t final_count;  // also when it was below zero and so not stored
  bool flag;            // the team's flag as it now stands
};

// Changes a count unless it would go below zero; sets the flag above the limit and, on a
// decrease, clears it at or below the limit. Allocates nothing and never throws.
// `over` counts the team's kinds above their limits and follows the change exactly.
KindChange ChangeKind(int32_t& count, bool& flag, int32_t& over, int32_t limit,
                      int32_t change) noexcept {
  const KindChange made{count, change, int64_t{count} + change, false};
  if (Fits(made.final_count)) {
    over += (made.final_count > limit) - (count > limit);
    count = static_cast<int32_t>(made.final_count);
    if (made.final_count > limit) flag = true;
    if (change < 0 && made.final_count <= limit) flag = false;
  }
  return {made.current, made.change, made.final_count, flag};
}

// The lines of one UpdateDinoCount; `kind` is null when no configured kind changed.
void WriteChangeLines(const DebugLines& debug, const FString& path_name, int32_t team_id,
                      const KindChange* kind) {
  if (!debug) return;
  debug("UpdateDinoCount: Starting");
  debug("UpdateDinoCount: team_id: {}", team_id);
  debug("UpdateDinoCount: path_name: {}", ToUtf8(path_name));
  if (kind != nullptr) {
    debug("UpdateDinoCount: Limit_exceeded: {}", kind->flag);
    debug("UpdateDinoCount: CurrentCount: {}", kind->current);
    debug("UpdateDinoCount: ChangeCount: {}", kind->change);
    debug("UpdateDinoCount: FinalCount: {}", kind->final_count);
  }
  debug("UpdateDinoCount: Finished");
}

}  // namespace

void UpdateDinoCount(const FString& path_name, int32_t team_id, int32_t change) {
  std::optional<KindChange> kind_change;
  if (Counted(path_name, team_id)) {
    DinoCountStore& store = Store();
    int32_t& total = store.TeamTotal(team_id);
    if (Fits(int64_t{total} + change)) total += change;
    if (KindCounts* kind = store.FindKind(path_name)) {
      kind_change = ChangeKind(kind->teams[team_id], store.LimitExceeded(team_id),
                               store.KindsOver(team_id), kind->limit, change);
    }
  }
  WriteChangeLines(DebugLines(), path_name, team_id, kind_change ? &*kind_change : nullptr);
}

void MoveTeamCounts(int32_t old_team, int32_t new_team, bool add, std::string_view line) {
  if (old_team == new_team) return;
  DinoCountStore& store = Store();
  // Everything the move touches is made first; the entries made are those a read would make,
  // so a failure here (out of memory) leaves the counts as they were.
  struct Step {
    const FString* path;
    KindCounts* kind;
    int32_t moved;  // the old team's count of the kind
    int32_t* new_count;
    int32_t* old_count;
    std::optional<KindChange> to_new, from_old;
  };
  std::vector<Step> steps;
  steps.reserve(store.KindCount());
  int32_t& new_total = store.TeamTotal(new_team);
  const int32_t old_total = store.TeamTotal(old_team);
  bool& new_flag = store.LimitExceeded(new_team);
  bool& old_flag = store.LimitExceeded(old_team);
  int32_t& new_over = store.KindsOver(new_team);
  int32_t& old_over = store.KindsOver(old_team);
  store.ForEachKind([&](const FString& path, KindCounts& kind) {
    const int32_t moved = DinoCountStore::CountOf(kind, old_team);
    steps.push_back({&path, &kind, moved, &kind.teams[new_team], &kind.teams[old_team], {}, {}});
  });

  // The move itself cannot fail. Per kind it adds the old team's count to the new team and
  // takes it from the old one, each as UpdateDinoCount would; the new team's total takes the old
  // total over (on top of its own when `add`), and the old team is forgotten but for its flag.
  int64_t total = add ? int64_t{new_total} + old_total : old_total;
  int64_t moved_in_all = 0;
  for (Step& step : steps) {
    moved_in_all += step.moved;
    if (Counted(*step.path, new_team)) {
      if (Fits(total + step.moved)) total += step.moved;
      step.to_new = ChangeKind(*step.new_count, new_flag, new_over, step.kind->limit, step.moved);
    }
    if (Counted(*step.path, old_team))
      step.from_old =
          ChangeKind(*step.old_count, old_flag, old_over, step.kind->limit, -step.moved);
    step.kind->teams.erase(old_team);
  }
  store.EraseTotal(old_team);
  new_total = static_cast<int32_t>(std::clamp<int64_t>(total - moved_in_all,
                                                       std::numeric_limits<int32_t>::min(),
                                                       std::numeric_limits<int32_t>::max()));

  const DebugLines debug;
  for (const Step& step : steps) {
    WriteChangeLines(debug, *step.path, new_team, step.to_new ? &*step.to_new : nullptr);
    WriteChangeLines(debug, *step.path, old_team, step.from_old ? &*step.from_old : nullptr);
    debug("{}", line);
  }
}

namespace {

// A tier's form of the team's flag: some configured kind of the team is above the tier's limit
// for it. The store knows exactly how many kinds are above their own limits; only the kinds the
// tier changes need a look.
bool OverTierLimit(const DinoCountStore& store, int32_t team_id, std::size_t tier) {
  int64_t over = store.KindsOverOf(team_id);
  for (const KindCounts* kind : store.TierKinds(tier)) {
    const int32_t count = DinoCountStore::CountOf(*kind, team_id);
    over += (count > kind->LimitFor(&tier)) - (count > kind->limit);
  }
  return over > 0;
}

int32_t TotalLimitFor(const Tier* tier) {
  return tier != nullptr && tier->max_amount ? *tier->max_amount : TotalLimit();
}

}  // namespace

LimitCheck CheckLimits(const FString& path_name, int32_t team_id, const Tier* tier) {
  LimitCheck check;
  check.tier = tier;
  if (tier != nullptr && tier->unlimited) return check;
  DinoCountStore& store = Store();
  const int32_t total = store.TeamTotal(team_id);
  KindCounts* kind = store.FindKind(path_name);
  check.kind = kind;
  const bool flagged =
      tier != nullptr ? OverTierLimit(store, team_id, tier->index) : store.LimitExceeded(team_id);
  if (flagged) {
    check.refusal = Refusal::kOverKindLimit;
    return check;
  }
  if (total >= TotalLimitFor(tier)) {
    check.refusal = Refusal::kTotalLimit;
    check.count = total;
    check.limit = TotalLimitFor(tier);
    return check;
  }
  if (kind == nullptr) return check;
  const int32_t count = kind->teams[team_id];
  const DebugLines debug;
  debug("DinoAllowed: team_id: {}", team_id);
  if (debug) debug("DinoAllowed: path_name: {}", ToUtf8(path_name));
  debug("DinoAllowed: count: {}", count);
  const int32_t limit = kind->LimitFor(tier != nullptr ? &tier->index : nullptr);
  if (count >= limit) {
    check.refusal = Refusal::kKindLimit;
    check.count = count;
    check.limit = limit;
  }
  return check;
}

bool DinoAllowed(const FString& path_name, int32_t team_id) {
  return CheckLimits(path_name, team_id).allowed();
}

MergeCheck CheckMergedCounts(int32_t team_id1, int32_t team_id2, const Tier* tier) {
  const DebugLines debug;
  debug("AllowMergedDinoCounts: Starts");
  MergeCheck check;
  check.tier = tier;
  if (tier != nullptr && tier->unlimited) return check;
  DinoCountStore& store = Store();
  const int64_t sum = int64_t{store.TeamTotal(team_id1)} + store.TeamTotal(team_id2);
  if (sum > TotalLimitFor(tier)) {
    check.refusal = Refusal::kTotalLimit;
    check.count = sum;
    check.limit = TotalLimitFor(tier);
    return check;
  }
  const std::size_t* tier_index = tier != nullptr ? &tier->index : nullptr;
  store.ForEachKind([&](const FString& path, const KindCounts& kind) {
    if (!check.allowed()) return;
    // Reads without creating entries: a team without creatures of the kind counts 0.
    const int64_t kind_sum =
        int64_t{DinoCountStore::CountOf(kind, team_id1)} + DinoCountStore::CountOf(kind, team_id2);
    debug("AllowMergedDinoCounts: count: {}", kind_sum);
    if (kind_sum > kind.LimitFor(tier_index)) {
      debug("AllowMergedDinoCounts: Return: false");
      check.refusal = Refusal::kKindLimit;
      check.kind = &kind;
      check.path = &path;
      check.count = kind_sum;
      check.limit = kind.LimitFor(tier_index);
    }
  });
  if (check.allowed()) debug("AllowMergedDinoCounts: Ends");
  return check;
}

bool AllowMergedDinoCounts(int32_t team_id1, int32_t team_id2) {
  return CheckMergedCounts(team_id1, team_id2).allowed();
}
