#include "counting/limits.h"

#include <limits>

#include "counting/dino_count_store.h"
#include "host/game_facts.h"
#include "plugin/config.h"
#include "plugin/text.h"

void UpdateDinoCount(const FString& path_name, int32_t team_id, int32_t change) {
  const DebugLines debug;
  debug("UpdateDinoCount: Starting");
  debug("UpdateDinoCount: team_id: {}", team_id);
  if (debug) debug("UpdateDinoCount: path_name: {}", ToUtf8(path_name));

  if (!path_name.IsEmpty() && game_facts::IsPlayerTeam(team_id)) {
    const auto fits = [](int64_t value) {
      return value >= 0 && value <= std::numeric_limits<int32_t>::max();
    };
    int32_t& total = TeamTotal(team_id);
    if (fits(int64_t{total} + change)) total += change;

    if (KindCounts* kind = FindKind(path_name)) {
      int32_t& count = kind->teams[team_id];
      const int32_t current = count;
      const int64_t final_count = int64_t{current} + change;
      bool& flag = LimitExceeded(team_id);
      if (fits(final_count)) {
        count = static_cast<int32_t>(final_count);
        const int32_t limit = KindLimit(*kind);
        if (final_count > limit) flag = true;
        if (change < 0 && final_count <= limit) flag = false;
      }
      debug("UpdateDinoCount: Limit_exceeded: {}", flag);
      debug("UpdateDinoCount: CurrentCount: {}", current);
      debug("UpdateDinoCount: ChangeCount: {}", change);
      debug("UpdateDinoCount: FinalCount: {}", final_count);
    }
  }
  debug("UpdateDinoCount: Finished");
}

bool DinoAllowed(const FString& path_name, int32_t team_id) {
  const int32_t total = TeamTotal(team_id);
  if (LimitExceeded(team_id)) return false;
  if (total >= TotalLimit()) return false;
  KindCounts* kind = FindKind(path_name);
  if (kind == nullptr) return true;
  const int32_t count = kind->teams[team_id];
  const DebugLines debug;
  debug("DinoAllowed: team_id: {}", team_id);
  if (debug) debug("DinoAllowed: path_name: {}", ToUtf8(path_name));
  debug("DinoAllowed: count: {}", count);
  return count < KindLimit(*kind);
}

bool AllowMergedDinoCounts(int32_t team_id1, int32_t team_id2) {
  const DebugLines debug;
  debug("AllowMergedDinoCounts: Starts");
  const int64_t sum = int64_t{TeamTotal(team_id1)} + TeamTotal(team_id2);
  if (sum > TotalLimit()) return false;
  for (auto& [path, kind] : Store().dino_counts) {
    // Reads without creating entries: a team without creatures of the kind counts 0.
    const auto count_of = [&kind](int32_t team) -> int64_t {
      const auto it = kind.teams.find(team);
      return it == kind.teams.end() ? 0 : it->second;
    };
    const int64_t kind_sum = count_of(team_id1) + count_of(team_id2);
    debug("AllowMergedDinoCounts: count: {}", kind_sum);
    if (kind_sum > KindLimit(kind)) {
      debug("AllowMergedDinoCounts: Return: false");
      return false;
    }
  }
  debug("AllowMergedDinoCounts: Ends");
  return true;
}
