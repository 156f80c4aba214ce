#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/fstring.h"

// Who owns which creatures, in memory only: per configured kind and team the living creatures,
// per team all of them, and per team whether one of its kinds has gone over that kind's limit.
// Rebuilt by UpdateDinoCountAll, kept current by UpdateDinoCount and the tribe-merge
// bookkeeping. Game thread only.

// Orders paths as the runtime's case-insensitive comparison does: A-Z folded to a-z, then code
// units compared by value. Paths that differ only in case are one key.
struct CaseInsensitiveLess {
  bool operator()(const FString& a, const FString& b) const;
};

// One configured kind.
struct KindCounts {
  // The key as UTF-8: the name of the "Dinos" member that holds this kind's limit and display name.
  std::string config_name;
  int32_t limit = 9999;  // its "Count", as the configuration read when the kind was added
  std::size_t ordinal = 0;                     // its place among the kinds, in the order added
  std::vector<int32_t> tier_limits;            // by tier: its limit for the tier's players
  std::unordered_map<int32_t, int32_t> teams;  // team_id -> living creatures of the kind

  // The kind's limit for a tier's players (by Tier::index), or its own for none.
  int32_t LimitFor(const std::size_t* tier) const {
    return tier != nullptr && *tier < tier_limits.size() ? tier_limits[*tier] : limit;
  }
};

// Every count of a store, made aside by a recount and then put in place at once.
struct StoreCounts {
  std::vector<std::unordered_map<int32_t, int32_t>> kind_teams;  // by KindCounts::ordinal
  std::unordered_map<int32_t, int32_t> team_totals;
  std::unordered_map<int32_t, bool> limit_exceeded;
  std::unordered_map<int32_t, int32_t> kinds_over;
};

class DinoCountStore {
 public:
  DinoCountStore() = default;
  // Moving keeps the kind index valid (the ordered map's nodes move along); a copy would not.
  // What is moved from is left empty, with kinds of no configuration.
  DinoCountStore(DinoCountStore&& other) noexcept { *this = std::move(other); }
  DinoCountStore& operator=(DinoCountStore&& other) noexcept;
  DinoCountStore(const DinoCountStore&) = delete;
  DinoCountStore& operator=(const DinoCountStore&) = delete;

  // Adds the kind named by a "Dinos" member with no counts and the given limit, unless a key
  // equal to it ignoring case exists. The key is the name widened byte by byte, every byte above
  // 0x7F becoming '?'.
  void AddKind(std::string_view member_name, int32_t limit);

  // Gives every kind a limit for each of `tiers` tiers, its own to begin with; then SetTierLimit
  // gives the kind of a "Dinos" key (ignoring case) another for one tier. False when no kind
  // has that key.
  void SetTierCount(std::size_t tiers);
  bool SetTierLimit(std::size_t tier, std::string_view kind_key, int32_t limit);
  // The kinds whose limit a tier changes.
  const std::vector<const KindCounts*>& TierKinds(std::size_t tier) const;

  // The configured kind of a path (ignoring case), or null when the path is no configured kind.
  KindCounts* FindKind(const FString& path);
  const KindCounts* FindKind(const FString& path) const;

  // A team's total and flag, created as 0 and clear when missing.
  int32_t& TeamTotal(int32_t team_id) { return team_totals_[team_id]; }
  bool& LimitExceeded(int32_t team_id) { return limit_exceeded_[team_id]; }

  // How many kinds the team owns more of than their limits: unlike the flag, always exact.
  int32_t& KindsOver(int32_t team_id) { return kinds_over_[team_id]; }
  int32_t KindsOverOf(int32_t team_id) const;

  // The same without creating anything: 0 and clear for a team the store does not know.
  int32_t TotalOf(int32_t team_id) const;
  bool FlagOf(int32_t team_id) const;
  static int32_t CountOf(const KindCounts& kind, int32_t team_id);
  // Whether the store holds a total for the team.
  bool KnowsTeam(int32_t team_id) const { return team_totals_.contains(team_id); }

  // Every kind in key order, with its path.
  template <typename Visit>
  void ForEachKind(Visit&& visit) {
    for (auto& [path, kind] : dino_counts_) visit(path, kind);
  }
  template <typename Visit>
  void ForEachKind(Visit&& visit) const {
    for (const auto& [path, kind] : dino_counts_) visit(path, kind);
  }
  // Every team with a total, in no particular order.
  template <typename Visit>
  void ForEachTeam(Visit&& visit) const {
    for (const auto& [team, total] : team_totals_) visit(team, total);
  }
  std::size_t KindCount() const { return dino_counts_.size(); }

  // Empty counts for this store's kinds, with room for as many teams as it counts now.
  StoreCounts EmptyCounts() const;
  // Puts `counts` (made by EmptyCounts of this store) in place of every count. Never throws.
  void ReplaceCounts(StoreCounts&& counts) noexcept;

  // The configuration the kinds were read from (see ConfigGeneration).
  uint64_t kinds_generation() const { return kinds_generation_; }
  void set_kinds_generation(uint64_t generation) { kinds_generation_ = generation; }

  // Forgets a team's total and its number of kinds over (its flag and kind counts stay).
  void EraseTotal(int32_t team_id) {
    team_totals_.erase(team_id);
    kinds_over_.erase(team_id);
  }

  // Equal counts, flags and kinds (with their limits).
  bool operator==(const DinoCountStore& other) const;

 private:
  using DinoCounts = std::map<FString, KindCounts, CaseInsensitiveLess>;

  // Finds a kind by path in one hash lookup instead of a walk down the ordered map.
  struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view path) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
  };

  DinoCounts dino_counts_;                            // configured kinds, in key order
  std::unordered_map<int32_t, int32_t> team_totals_;  // team_id -> living creatures of any kind
  std::unordered_map<int32_t, bool> limit_exceeded_;  // team_id -> some kind is over its limit
  std::unordered_map<int32_t, int32_t> kinds_over_;   // team_id -> kinds over their limits
  std::vector<std::vector<const KindCounts*>> tier_kinds_;  // by tier: the kinds it changes
  uint64_t kinds_generation_ = 0;
  // Every key of dino_counts_ ignoring case; views into those keys.
  std::unordered_map<std::u16string_view, DinoCounts::iterator, FoldedHash, FoldedEqual>
      kind_index_;
};

// The process's one store.
DinoCountStore& Store();
