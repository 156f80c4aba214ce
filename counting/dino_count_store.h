#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/settings.h"
#include "counting/tiers.h"
#include "host/fstring.h"

// Who owns which creatures, in memory only: per configured kind and team the living creatures,
// per team all of them, and per team whether one of its kinds has gone over that kind's limit.
// The store keeps these in agreement itself: it is changed only through its operations (one
// team's change of one kind, a tribe's move, all counts after a recount), and its reads create
// nothing. Game thread only.

// Orders paths as the runtime's case-insensitive comparison does: A-Z folded to a-z, then code
// units compared by value. Paths that differ only in case are one key.
struct CaseInsensitiveLess {
  bool operator()(const FString& a, const FString& b) const;
};

// One configured kind.
class KindCounts {
 public:
  int32_t limit() const { return limit_; }          // its "Count", 9999 without one
  std::size_t ordinal() const { return ordinal_; }  // its place among the kinds, as added
  // Its "Name", empty without one.
  std::wstring_view name() const {
    return settings_->name ? *settings_->name : std::wstring_view();
  }
  // Its limit for a tier's players, or its own without a tier.
  int32_t LimitFor(Tier tier) const {
    return tier && tier.index < tier_limits_.size() ? tier_limits_[tier.index] : limit_;
  }
  // team_id -> living creatures of the kind; teams without an entry own none.
  const std::unordered_map<int32_t, int32_t>& teams() const { return teams_; }
  int32_t CountOf(int32_t team_id) const {
    const auto it = teams_.find(team_id);
    return it == teams_.end() ? 0 : it->second;
  }
  // Its key as the configuration writes it.
  const std::string& key() const { return key_; }
  // team_id -> creatures of the kind on the cluster's other maps; teams without an entry own none.
  const std::unordered_map<int32_t, int64_t>& others() const { return others_; }
  int64_t OtherOf(int32_t team_id) const {
    if (others_.empty()) return 0;
    const auto it = others_.find(team_id);
    return it == others_.end() ? 0 : it->second;
  }

 private:
  friend class DinoCountStore;
  const KindSettings* settings_ = nullptr;
  std::string key_;
  int32_t limit_ = 9999;
  std::size_t ordinal_ = 0;
  std::vector<int32_t> tier_limits_;  // by tier
  std::unordered_map<int32_t, int32_t> teams_;
  std::unordered_map<int32_t, int64_t> others_;
};

// One team's counts as this map writes them for the others: absolute values of its total and of
// each configured kind it owns, by the kind's key as the configuration writes it.
struct KindRow {
  std::string kind;
  int32_t count;
};
struct TeamRows {
  int32_t team;
  int32_t total;
  std::vector<KindRow> kinds;  // in key order
};
// What changed since the last take. `full`: the rows are every team this map counts, and any
// row written before that is not among them is gone; else only the changed teams' rows, each
// kind the team owned at the last take and owns no more with a count of 0.
struct ChangedRows {
  bool full = false;
  std::vector<TeamRows> teams;
};

// What other maps of the cluster hold of one team, summed over them.
struct OtherCounts {
  int64_t total = 0;
  int32_t kinds = 0;  // configured kinds with a count there
  int32_t over = 0;   // kinds over their limit only with the other maps' counts added
};

// What one change did to a team's count of a configured kind, for the diagnostic lines.
struct KindChange {
  int32_t current;
  int32_t change;
  int64_t final_count;  // also when it was below zero and so not stored
  bool flag;            // the team's flag as it now stands
};

// What a tribe's move did to one kind, on each side.
struct MoveStep {
  const FString* path;
  std::optional<KindChange> to_new, from_old;
};

// What a recount counted, made aside and then put in place at once.
struct StoreCounts {
  std::vector<std::unordered_map<int32_t, int32_t>> kind_teams;  // by KindCounts::ordinal()
  std::unordered_map<int32_t, int32_t> team_totals;
};

class DinoCountStore {
 public:
  // No kinds and no counts, made from no settings.
  DinoCountStore() = default;
  // The kinds of `settings`: every member of "Dinos", in the section's order, with its Count
  // (9999 without one); a key equal to an earlier one ignoring case adds no kind. The key is the
  // member's name widened byte by byte, every byte above 0x7F becoming '?'. Each tier's Counts
  // then give their kinds (ignoring case) the tier's limit. No counts.
  explicit DinoCountStore(std::shared_ptr<const Settings> settings);
  // Moving keeps the kind index valid (the ordered map's nodes move along); a copy would not.
  // What is moved from is left without kinds or counts.
  DinoCountStore(DinoCountStore&& other) noexcept { *this = std::move(other); }
  DinoCountStore& operator=(DinoCountStore&& other) noexcept;
  DinoCountStore(const DinoCountStore&) = delete;
  DinoCountStore& operator=(const DinoCountStore&) = delete;

  // The settings the kinds were made from; null for a store made from none.
  const Settings* settings() const { return settings_.get(); }
  // Names the kinds this store holds: it changes whenever they are made anew or assigned, when
  // pointers to the old ones no longer hold.
  uint64_t kinds_id() const { return kinds_id_; }

  // A team gained (+) or lost (-) creatures of the kind at `path`. Made only for a non-empty path
  // and a player team (game_facts::IsPlayerTeam); a change that would make the total or the
  // kind's count negative is dropped for that container. The team's flag is set when the kind's
  // count passes its limit and cleared when a decrease ends at or below it. Returns what changed
  // of a configured kind, nothing when none did.
  std::optional<KindChange> Change(const FString& path, int32_t team_id, int32_t change);

  // A tribe join: per kind the old team's count moves to the new team (each side changed as
  // Change changes it); the new team's total takes the old one over, on top of its own when
  // `add`, else in place of it; the old team's total and kind counts are forgotten, its flag
  // stays as the move left it. All or nothing. Returns each kind's changes, in key order.
  std::vector<MoveStep> MoveTeam(int32_t old_team, int32_t new_team, bool add);

  // Empty counts for this store's kinds, with room for as many teams as it counts now.
  StoreCounts EmptyCounts() const;
  // Puts `counts` (made by EmptyCounts of this store) in place of every count, and derives each
  // team's flag and kinds over their limits from them; all or nothing.
  // `changed`, when the caller has it, is TeamsChangedBy(*this, counts); else the store finds it
  // itself when it tracks changes.
  void ReplaceCounts(StoreCounts&& counts, const std::unordered_set<int32_t>* changed = nullptr);
  // The teams whose counts `counts` (made by EmptyCounts of `counted`: this store, or one made from
  // other settings) differs from this store's in: their total, or their count of a kind both
  // stores know. A kind only one of them knows is a change of the configuration, not of counts.
  std::unordered_set<int32_t> TeamsChangedBy(const DinoCountStore& counted,
                                             const StoreCounts& counts) const;

  // The configured kind of a path (ignoring case), or null when the path is no configured kind.
  const KindCounts* FindKind(const FString& path) const;
  // The kinds whose limit a tier changes.
  const std::vector<const KindCounts*>& TierKinds(std::size_t tier) const;

  // 0 and clear for a team the store does not know.
  int32_t TotalOf(int32_t team_id) const;
  bool FlagOf(int32_t team_id) const;
  // How many kinds the team owns more of than their limits: unlike the flag, always exact.
  int32_t KindsOverOf(int32_t team_id) const;
  // Whether the store holds a total for the team.
  bool KnowsTeam(int32_t team_id) const { return team_totals_.contains(team_id); }

  // Every kind in key order, with its path.
  template <typename Visit>
  void ForEachKind(Visit&& visit) const {
    for (const auto& [path, kind] : kinds_) visit(path, kind);
  }
  // Every team with a total, in no particular order.
  template <typename Visit>
  void ForEachTeam(Visit&& visit) const {
    for (const auto& [team, total] : team_totals_) visit(team, total);
  }
  std::size_t KindCount() const { return kinds_.size(); }

  // What the other maps of the cluster hold of the team, or null when they hold nothing of it.
  const OtherCounts* OthersOf(int32_t team_id) const {
    if (others_.empty()) return nullptr;
    const auto it = others_.find(team_id);
    return it == others_.end() ? nullptr : &it->second;
  }
  bool HasOthers() const { return !others_.empty(); }
  // Adds `change` to what the other maps hold of the team: of its total when `kind` is null, else
  // of its count of that kind (one of this store's). A sum never goes below zero.
  void ChangeOthers(int32_t team_id, const KindCounts* kind, int64_t change);
  // Forgets every other map's counts.
  void ClearOthers();
  // Every team the other maps hold counts of, in no particular order.
  template <typename Visit>
  void ForEachOtherTeam(Visit&& visit) const {
    for (const auto& [team, counts] : others_) visit(team, counts);
  }

  // Whether every change is noted for TakeChanges; off, nothing is kept. Turning it on makes the
  // next take a full one.
  void TrackChanges(bool on);
  bool tracking() const { return tracking_; }
  // Whether TakeChanges would take anything: cheap, for callers that ask often.
  bool HasChanges() const { return tracking_ && (full_ || !changed_.empty()); }
  // The rows of the teams whose counts changed since the last take (by Change, MoveTeam, or a
  // ReplaceCounts that found them different), and forgets them. Full after tracking began and
  // after the store's kinds were made anew.
  ChangedRows TakeChanges();
  // A team's rows as they stand: its total and every configured kind it owns.
  TeamRows RowsOf(int32_t team_id) const;

  // Equal counts, flags and kinds (with their limits).
  bool operator==(const DinoCountStore& other) const;

 private:
  using Kinds = std::map<FString, KindCounts, CaseInsensitiveLess>;

  // Finds a kind by path in one hash lookup instead of a walk down the ordered map.
  struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view path) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
  };

  static uint64_t NextKindsId();
  KindCounts* MutableKind(const FString& path);
  // The kind's part of the team's OtherCounts::over, after its own count went from `before`.
  void FollowOthers(const KindCounts& kind, int32_t team_id, int32_t before);
  // Every team's OtherCounts::over anew, or one team's.
  void DeriveOthersOver();
  void DeriveOthersOver(int32_t team_id);
  // One kind row of the team per configured kind it owns, and per kind in `zeroes` it owns no
  // more; the kinds it owns are written into `owned` (ordinals).
  TeamRows MakeRows(int32_t team_id, const std::vector<uint32_t>* zeroes,
                    std::vector<uint32_t>* owned) const;

  std::shared_ptr<const Settings> settings_;
  Kinds kinds_;                                       // configured kinds, in key order
  std::unordered_map<int32_t, int32_t> team_totals_;  // team_id -> living creatures of any kind
  std::unordered_map<int32_t, bool> limit_exceeded_;  // team_id -> some kind is over its limit
  std::unordered_map<int32_t, int32_t> kinds_over_;   // team_id -> kinds over their limits
  std::vector<std::vector<const KindCounts*>> tier_kinds_;  // by tier: the kinds it changes
  // Every key of kinds_ ignoring case; views into those keys.
  std::unordered_map<std::u16string_view, Kinds::iterator, FoldedHash, FoldedEqual> kind_index_;
  std::vector<KindCounts*> by_ordinal_;
  uint64_t kinds_id_ = NextKindsId();
  std::unordered_map<int32_t, OtherCounts> others_;  // teams the other maps hold counts of

  // The feed of changes; a store assigned to while tracking owes a full take.
  bool tracking_ = false;
  bool full_ = false;
  std::unordered_set<int32_t> changed_;
  std::unordered_map<int32_t, std::vector<uint32_t>> taken_;  // team -> kinds owned at the take
};

// The process's one store. With a cluster, it also holds what the other maps count, summed per
// team (fed by OtherMaps), so that a check reads the cluster's counts in a few hash lookups; and,
// when tracking, which teams' counts changed since the last take, for writing them.
DinoCountStore& Store();
