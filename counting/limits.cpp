#include "counting/limits.h"

#include <limits>

#include "counting/dino_count_store.h"
#include "host/game_facts.h"
#include "plugin/config.h"
#include "plugin/debug.h"
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
    DinoCountStore& store = Store();
    int32_t& total = store.TeamTotal(team_id);
    if (fits(int64_t{total} + change)) total += change;

    if (KindCounts* kind = store.FindKind(path_name)) {
      int32_t& count = kind->teams[team_id];
      const int32_t current = count;
      const int64_t final_count = int64_t{current} + change;
      bool& flag = store.LimitExceeded(team_id);
      if (fits(final_count)) {
        count = static_cast<int32_t>(final_count);
        const int32_t limit = kind->limit;
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
  DinoCountStore& store = Store();
  const int32_t total = store.TeamTotal(team_id);
  if (store.LimitExceeded(team_id)) return false;
  if (total >= TotalLimit()) return false;
  KindCounts* kind = store.FindKind(path_name);
  if (kind == nullptr) return true;
  const int32_t count = kind->teams[team_id];
  const DebugLines debug;
  debug("DinoAllowed: team_id: {}", team_id);
  if (debug) debug("DinoAllowed: path_name: {}", ToUtf8(path_name));
  debug("DinoAllowed: count: {}", count);
  return count < kind->limit;
}

bool AllowMergedDinoCounts(int32_t team_id1, int32_t team_id2) {
  const DebugLines debug;
  debug("AllowMergedDinoCounts: Starts");
  DinoCountStore& store = Store();
  const int64_t sum = int64_t{store.TeamTotal(team_id1)} + store.TeamTotal(team_id2);
  if (sum > TotalLimit()) return false;
  bool allowed = true;
  store.ForEachKind([&](const FString&, const KindCounts& kind) {
    if (!allowed) return;
    // Reads without creating entries: a team without creatures of the kind counts 0.
    const int64_t kind_sum =
        int64_t{DinoCountStore::CountOf(kind, team_id1)} + DinoCountStore::CountOf(kind, team_id2);
    debug("AllowMergedDinoCounts: count: {}", kind_sum);
    if (kind_sum > kind.limit) {
      debug("AllowMergedDinoCounts: Return: false");
      allowed = false;
    }
  });
  if (allowed) debug("AllowMergedDinoCounts: Ends");
  return allowed;
}
