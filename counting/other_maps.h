#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "counting/dino_count_store.h"

// The counts the other maps of a cluster last wrote, as this map last read them: per map, per
// team its total and its count of each kind by the kind's key (as that map's configuration
// writes it; keys equal ignoring case are one kind). Every change is carried at once into the
// store's per-team sums, so a check adds the cluster in a few hash lookups however many maps
// there are. Game thread only; empty without a cluster.

// One row a map wrote: a team's total (an empty kind) or its count of a kind, absolute.
struct ClusterRow {
  int32_t team;
  std::string kind;
  int64_t count;
};

class OtherMaps {
 public:
  // Feeds the sums of `store`, which must outlive this.
  explicit OtherMaps(DinoCountStore& store) : store_(store), bound_(store.kinds_id()) {}

  // Puts `rows` in place of everything the map held.
  void ReplaceMap(std::string_view map, std::span<const ClusterRow> rows);
  // Sets each row's value; a count of 0 removes the row.
  void ApplyRows(std::string_view map, std::span<const ClusterRow> rows);
  // Forgets one map's counts, or every map's.
  void ForgetMap(std::string_view map);
  void Clear();
  // Feeds every count into the store again, after its kinds were made anew (done also by the
  // next change when it finds the store's kinds not those it fed).
  void Refeed();

  bool empty() const { return maps_.empty(); }
  // Every map that holds counts, in name order.
  template <typename Visit>
  void ForEachMap(Visit&& visit) const {
    for (const auto& [name, teams] : maps_) visit(name);
  }

  // One team's counts on one map: its total and each kind (key as first read, count).
  struct TeamOnMap {
    int64_t total = 0;
    std::vector<std::pair<uint32_t, int32_t>> kinds;  // key id, count
  };
  // Every map that holds counts of the team, in name order.
  template <typename Visit>
  void ForEachMapOf(int32_t team_id, Visit&& visit) const {
    for (const auto& [name, teams] : maps_) {
      if (const auto it = teams.find(team_id); it != teams.end()) visit(name, it->second);
    }
  }
  // The key of a key id as it was first read; the configured kind it names here, or null.
  const std::string& KeyOf(uint32_t key) const { return keys_[key].text; }
  const KindCounts* KindOf(uint32_t key) const { return keys_[key].kind; }

 private:
  using Teams = std::unordered_map<int32_t, TeamOnMap>;
  struct Key {
    std::string text;
    const KindCounts* kind;  // of the store, null when no configured kind
  };

  uint32_t KeyId(std::string_view key);
  // Sets one row of a map, carrying the difference into the store.
  void Set(Teams& teams, int32_t team_id, std::string_view kind, int64_t count);
  // Takes everything a team holds on one map out of the store's sums.
  void Withdraw(int32_t team_id, const TeamOnMap& counts);

  DinoCountStore& store_;
  uint64_t bound_;  // the store's kinds the keys were found among
  std::map<std::string, Teams, std::less<>> maps_;
  std::vector<Key> keys_;                              // by key id
  std::unordered_map<std::string, uint32_t> key_ids_;  // folded key -> key id
};

// The process's other maps, feeding Store().
OtherMaps& Others();

// The hand-over to the cluster's sync, set by the layer that runs it while a cluster runs: `post`
// hands this map's changed counts over, `refresh` does that and takes what was read of the other
// maps into Others(). Both cost little when nothing waits; without a cluster nothing happens.
struct ClusterExchange {
  void (*post)() = nullptr;
  void (*refresh)() = nullptr;
};
void SetClusterExchange(ClusterExchange exchange);
// After this map's counts changed, so that the other maps learn it within one sync interval.
void PostClusterChanges();
// Before a check or an answer reads counts. Never while a TeamCounts is held: taking the other
// maps' counts in may move what it points to.
void RefreshClusterCounts();
