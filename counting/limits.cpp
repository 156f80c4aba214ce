#include "counting/limits.h"

#include <optional>
#include <vector>

#include "base/debug.h"
#include "base/text.h"
#include "counting/dino_count_store.h"
#include "counting/other_maps.h"

namespace {

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
  const std::optional<KindChange> kind = Store().Change(path_name, team_id, change);
  WriteChangeLines(DebugLines(), path_name, team_id, kind ? &*kind : nullptr);
  PostClusterChanges();
}

void MoveTeamCounts(int32_t old_team, int32_t new_team, bool add, std::string_view line) {
  const std::vector<MoveStep> steps = Store().MoveTeam(old_team, new_team, add);
  const DebugLines debug;
  for (const MoveStep& step : steps) {
    WriteChangeLines(debug, *step.path, new_team, step.to_new ? &*step.to_new : nullptr);
    WriteChangeLines(debug, *step.path, old_team, step.from_old ? &*step.from_old : nullptr);
    debug("{}", line);
  }
  PostClusterChanges();
}

TeamCounts CountsOf(int32_t team_id) { return TeamCounts(Store(), team_id); }

bool TeamCounts::OverAKindLimit(Tier tier) const {
  const int32_t over_elsewhere = others_ ? others_->over : 0;
  if (!tier) return store_.FlagOf(team_) || over_elsewhere > 0;
  // A tier's form of the flag: the store knows exactly how many kinds are above their own
  // limits; only the kinds the tier changes need a look.
  int64_t over = store_.KindsOverOf(team_) + over_elsewhere;
  for (const KindCounts* kind : store_.TierKinds(tier.index)) {
    const int64_t count = Of(*kind);
    over += (count > kind->LimitFor(tier)) - (count > kind->limit());
  }
  return over > 0;
}

LimitCheck CheckLimits(const FString& path_name, int32_t team_id, Tier tier) {
  LimitCheck check;
  check.tier = tier;
  if (tier.unlimited()) return check;
  RefreshClusterCounts();
  const TeamCounts counts = CountsOf(team_id);
  const KindCounts* kind = Store().FindKind(path_name);
  check.kind = kind;
  if (counts.OverAKindLimit(tier)) {
    check.refusal = Refusal::kOverKindLimit;
    // Which kind is over, for the owner's line and the player's text: a refusal is rare, and
    // the walk is over the configured kinds only.
    Store().ForEachKind([&](const FString& over_path, const KindCounts& over) {
      if (check.over != nullptr) return;
      const int64_t count = counts.Of(over);
      const int32_t limit = over.LimitFor(tier);
      if (count <= limit) return;
      check.over = &over;
      check.over_path = &over_path;
      check.count = count;
      check.limit = limit;
    });
    return check;
  }
  if (const int32_t max = TotalLimitFor(tier); counts.total() >= max) {
    check.refusal = Refusal::kTotalLimit;
    check.count = counts.total();
    check.limit = max;
    return check;
  }
  if (kind == nullptr) return check;
  const int64_t count = counts.Of(*kind);
  const DebugLines debug;
  debug("DinoAllowed: team_id: {}", team_id);
  if (debug) debug("DinoAllowed: path_name: {}", ToUtf8(path_name));
  debug("DinoAllowed: count: {}", count);
  if (const int32_t limit = kind->LimitFor(tier); count >= limit) {
    check.refusal = Refusal::kKindLimit;
    check.count = count;
    check.limit = limit;
  }
  return check;
}

bool DinoAllowed(const FString& path_name, int32_t team_id) {
  return CheckLimits(path_name, team_id).allowed();
}

MergeCheck CheckMergedCounts(int32_t team_id1, int32_t team_id2, Tier tier) {
  const DebugLines debug;
  debug("AllowMergedDinoCounts: Starts");
  MergeCheck check;
  check.tier = tier;
  if (tier.unlimited()) return check;
  RefreshClusterCounts();
  const TeamCounts first = CountsOf(team_id1), second = CountsOf(team_id2);
  if (const int64_t sum = first.total() + second.total(); sum > TotalLimitFor(tier)) {
    check.refusal = Refusal::kTotalLimit;
    check.count = sum;
    check.limit = TotalLimitFor(tier);
    return check;
  }
  Store().ForEachKind([&](const FString& path, const KindCounts& kind) {
    if (!check.allowed()) return;
    const int64_t kind_sum = first.Of(kind) + second.Of(kind);
    debug("AllowMergedDinoCounts: count: {}", kind_sum);
    if (kind_sum > kind.LimitFor(tier)) {
      debug("AllowMergedDinoCounts: Return: false");
      check.refusal = Refusal::kKindLimit;
      check.kind = &kind;
      check.path = &path;
      check.count = kind_sum;
      check.limit = kind.LimitFor(tier);
    }
  });
  if (check.allowed()) debug("AllowMergedDinoCounts: Ends");
  return check;
}

bool AllowMergedDinoCounts(int32_t team_id1, int32_t team_id2) {
  return CheckMergedCounts(team_id1, team_id2).allowed();
}
