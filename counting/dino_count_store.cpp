#include "counting/dino_count_store.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "host/game_facts.h"
#include "host/game_text.h"

bool CaseInsensitiveLess::operator()(const FString& a, const FString& b) const {
  const std::u16string_view x = a.View(), y = b.View();
  const std::size_t n = std::min(x.size(), y.size());
  // Paths share long prefixes spelled alike: skip those before folding.
  std::size_t i = static_cast<std::size_t>(
      std::mismatch(x.begin(), x.begin() + n, y.begin()).first - x.begin());
  for (; i < n; ++i) {
    const char16_t cx = game_text::FoldCase(x[i]), cy = game_text::FoldCase(y[i]);
    if (cx != cy) return cx < cy;
  }
  return x.size() < y.size();
}

// Hashes the path with every code unit ORed with 0x20: texts equal ignoring the case of A-Z are
// equal after that, so they hash alike. Four code units at a time.
std::size_t DinoCountStore::FoldedHash::operator()(std::u16string_view path) const {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  uint64_t hash = path.size() * kMultiplier;
  std::size_t i = 0;
  for (; i + 4 <= path.size(); i += 4) {
    uint64_t word;
    std::memcpy(&word, path.data() + i, sizeof word);
    hash = (hash ^ (word | 0x0020002000200020ull)) * kMultiplier;
    hash ^= hash >> 31;
  }
  for (; i < path.size(); ++i) hash = (hash ^ (path[i] | 0x20u)) * kMultiplier;
  return static_cast<std::size_t>(hash ^ (hash >> 29));
}

bool DinoCountStore::FoldedEqual::operator()(std::u16string_view a, std::u16string_view b) const {
  if (a.size() != b.size()) return false;
  // Most are spelled alike, which one memcmp finds.
  if (std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0) return true;
  return game_text::EqualsIgnoringCase(a, b);
}

uint64_t DinoCountStore::NextKindsId() {
  static uint64_t last = 0;
  return ++last;
}

DinoCountStore& Store() {
  static DinoCountStore store;
  return store;
}

namespace {

bool Fits(int64_t value) { return value >= 0 && value <= std::numeric_limits<int32_t>::max(); }

// A count change of one team and kind is made only for a real path and a counted team.
bool Counted(const FString& path, int32_t team_id) {
  return !path.IsEmpty() && game_facts::IsPlayerTeam(team_id);
}

// Changes a count unless it would go below zero; sets the flag above the limit and, on a
// decrease, clears it at or below the limit. Allocates nothing and never throws.
// `over` counts the team's kinds above their limits and follows the change exactly.
KindChange ChangeKind(int32_t& count, bool& flag, int32_t& over, int32_t limit,
                      int32_t change) noexcept {
  const int64_t final_count = int64_t{count} + change;
  const int32_t current = count;
  if (Fits(final_count)) {
    over += (final_count > limit) - (count > limit);
    count = static_cast<int32_t>(final_count);
    if (final_count > limit) flag = true;
    if (change < 0 && final_count <= limit) flag = false;
  }
  return {current, change, final_count, flag};
}

// A kind is over only with the other maps' counts when the team's own count is within the limit
// and the sum passes it.
bool OverOnlyWithOthers(int64_t own, int64_t others, int32_t limit) {
  return own <= limit && own + others > limit;
}

}  // namespace

DinoCountStore::DinoCountStore(std::shared_ptr<const Settings> settings)
    : settings_(std::move(settings)) {
  for (const auto& [key, kind_settings] : settings_->kinds) {
    const auto [it, added] = kinds_.try_emplace(FString(std::string_view(key)));
    if (!added) continue;
    KindCounts& kind = it->second;
    kind.settings_ = &kind_settings;
    kind.key_ = key;
    kind.limit_ = kind_settings.count.value_or(9999);
    kind.ordinal_ = kinds_.size() - 1;
    kind_index_.emplace(it->first.View(), it);
    by_ordinal_.push_back(&kind);
  }
  const std::size_t tiers = settings_->tiers.size();
  for (auto& [path, kind] : kinds_) kind.tier_limits_.assign(tiers, kind.limit_);
  tier_kinds_.assign(tiers, {});
  for (std::size_t tier = 0; tier < tiers; ++tier) {
    for (const auto& [key, count] : settings_->tiers[tier].counts) {
      KindCounts* kind = MutableKind(FString(std::string_view(key)));
      if (kind == nullptr) continue;
      kind->tier_limits_[tier] = count;
      std::vector<const KindCounts*>& changed = tier_kinds_[tier];
      if (std::find(changed.begin(), changed.end(), kind) == changed.end()) changed.push_back(kind);
    }
  }
}

DinoCountStore& DinoCountStore::operator=(DinoCountStore&& other) noexcept {
  settings_ = std::move(other.settings_);
  kinds_ = std::move(other.kinds_);
  team_totals_ = std::move(other.team_totals_);
  limit_exceeded_ = std::move(other.limit_exceeded_);
  kinds_over_ = std::move(other.kinds_over_);
  tier_kinds_ = std::move(other.tier_kinds_);
  kind_index_ = std::move(other.kind_index_);
  by_ordinal_ = std::move(other.by_ordinal_);
  kinds_id_ = NextKindsId();
  other.kinds_id_ = NextKindsId();
  others_ = std::move(other.others_);
  // The feed stays with the store assigned to: what it wrote before is now all to be written.
  changed_.clear();
  taken_.clear();
  full_ = tracking_;
  other.settings_.reset();
  other.kinds_.clear();
  other.team_totals_.clear();
  other.limit_exceeded_.clear();
  other.kinds_over_.clear();
  other.tier_kinds_.clear();
  other.kind_index_.clear();
  other.by_ordinal_.clear();
  other.others_.clear();
  other.changed_.clear();
  other.taken_.clear();
  other.full_ = other.tracking_;
  return *this;
}

std::optional<KindChange> DinoCountStore::Change(const FString& path, int32_t team_id,
                                                 int32_t change) {
  if (!Counted(path, team_id)) return std::nullopt;
  if (tracking_) changed_.insert(team_id);
  int32_t& total = team_totals_[team_id];
  if (Fits(int64_t{total} + change)) total += change;
  KindCounts* kind = MutableKind(path);
  if (kind == nullptr) return std::nullopt;
  int32_t& count = kind->teams_[team_id];
  const int32_t before = count;
  const KindChange changed =
      ChangeKind(count, limit_exceeded_[team_id], kinds_over_[team_id], kind->limit_, change);
  if (!others_.empty()) FollowOthers(*kind, team_id, before);
  return changed;
}

std::vector<MoveStep> DinoCountStore::MoveTeam(int32_t old_team, int32_t new_team, bool add) {
  if (old_team == new_team) return {};
  // Everything the move touches is made first; the entries made are those a change would make,
  // so a failure here (out of memory) leaves the counts as they were.
  struct Counts {
    KindCounts* kind;
    int32_t moved;  // the old team's count of the kind
    int32_t* new_count;
    int32_t* old_count;
  };
  std::vector<Counts> counts;
  counts.reserve(kinds_.size());
  std::vector<MoveStep> steps;
  steps.reserve(kinds_.size());
  int32_t& new_total = team_totals_[new_team];
  const int32_t old_total = team_totals_[old_team];
  bool& new_flag = limit_exceeded_[new_team];
  bool& old_flag = limit_exceeded_[old_team];
  int32_t& new_over = kinds_over_[new_team];
  int32_t& old_over = kinds_over_[old_team];
  for (auto& [path, kind] : kinds_) {
    const int32_t moved = kind.CountOf(old_team);
    counts.push_back({&kind, moved, &kind.teams_[new_team], &kind.teams_[old_team]});
    steps.push_back({&path, {}, {}});
  }

  // The move itself cannot fail. Per kind it adds the old team's count to the new team and
  // takes it from the old one, each as Change would; the new team's total takes the old total
  // over (on top of its own when `add`), and the old team is forgotten but for its flag.
  int64_t total = add ? int64_t{new_total} + old_total : old_total;
  int64_t moved_in_all = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const Counts& kind = counts[i];
    MoveStep& step = steps[i];
    moved_in_all += kind.moved;
    if (Counted(*step.path, new_team)) {
      if (Fits(total + kind.moved)) total += kind.moved;
      step.to_new = ChangeKind(*kind.new_count, new_flag, new_over, kind.kind->limit_, kind.moved);
    }
    if (Counted(*step.path, old_team))
      step.from_old =
          ChangeKind(*kind.old_count, old_flag, old_over, kind.kind->limit_, -kind.moved);
    kind.kind->teams_.erase(old_team);
  }
  team_totals_.erase(old_team);
  kinds_over_.erase(old_team);
  new_total = static_cast<int32_t>(std::clamp<int64_t>(total - moved_in_all,
                                                       std::numeric_limits<int32_t>::min(),
                                                       std::numeric_limits<int32_t>::max()));
  if (tracking_) {
    changed_.insert(old_team);
    changed_.insert(new_team);
  }
  if (!others_.empty()) {
    DeriveOthersOver(old_team);
    DeriveOthersOver(new_team);
  }
  return steps;
}

StoreCounts DinoCountStore::EmptyCounts() const {
  StoreCounts counts;
  counts.kind_teams.resize(kinds_.size());
  counts.team_totals.reserve(team_totals_.size());
  return counts;
}

void DinoCountStore::ReplaceCounts(StoreCounts&& counts,
                                   const std::unordered_set<int32_t>* changed) {
  // Derived aside first: a failure (out of memory) leaves the store as it was.
  std::unordered_map<int32_t, bool> flags;
  std::unordered_map<int32_t, int32_t> over;
  flags.reserve(limit_exceeded_.size());
  over.reserve(kinds_over_.size());
  for (const auto& [path, kind] : kinds_) {
    for (const auto& [team, count] : counts.kind_teams[kind.ordinal_]) {
      if (count <= kind.limit_) continue;
      flags[team] = true;
      ++over[team];
    }
  }
  if (tracking_ && !full_) {
    if (changed != nullptr) {
      changed_.insert(changed->begin(), changed->end());
    } else {
      changed_.merge(TeamsChangedBy(*this, counts));
    }
  }
  for (auto& [path, kind] : kinds_) kind.teams_.swap(counts.kind_teams[kind.ordinal_]);
  team_totals_.swap(counts.team_totals);
  limit_exceeded_.swap(flags);
  kinds_over_.swap(over);
  if (!others_.empty()) DeriveOthersOver();
}

std::unordered_set<int32_t> DinoCountStore::TeamsChangedBy(const DinoCountStore& counted,
                                                           const StoreCounts& counts) const {
  std::unordered_set<int32_t> changed;
  // Teams of `a` whose count is not the one `b` holds (0 without an entry).
  const auto differ = [&changed](const auto& a, const auto& b) {
    for (const auto& [team, count] : a) {
      const auto it = b.find(team);
      if (count != (it == b.end() ? 0 : it->second)) changed.insert(team);
    }
  };
  differ(counts.team_totals, team_totals_);
  differ(team_totals_, counts.team_totals);
  counted.ForEachKind([&](const FString& path, const KindCounts& kind) {
    const KindCounts* held = FindKind(path);
    if (held == nullptr) return;
    differ(counts.kind_teams[kind.ordinal()], held->teams());
    differ(held->teams(), counts.kind_teams[kind.ordinal()]);
  });
  return changed;
}

void DinoCountStore::FollowOthers(const KindCounts& kind, int32_t team_id, int32_t before) {
  const int64_t others = kind.OtherOf(team_id);
  if (others == 0) return;
  const int32_t now = kind.CountOf(team_id);
  others_[team_id].over += OverOnlyWithOthers(now, others, kind.limit_) -
                           OverOnlyWithOthers(before, others, kind.limit_);
}

void DinoCountStore::DeriveOthersOver() {
  for (auto& [team, counts] : others_) counts.over = 0;
  for (const auto& [path, kind] : kinds_) {
    for (const auto& [team, sum] : kind.others_) {
      if (OverOnlyWithOthers(kind.CountOf(team), sum, kind.limit_)) ++others_[team].over;
    }
  }
}

void DinoCountStore::DeriveOthersOver(int32_t team_id) {
  const auto it = others_.find(team_id);
  if (it == others_.end()) return;
  it->second.over = 0;
  if (it->second.kinds == 0) return;
  for (const auto& [path, kind] : kinds_) {
    if (OverOnlyWithOthers(kind.CountOf(team_id), kind.OtherOf(team_id), kind.limit_))
      ++it->second.over;
  }
}

void DinoCountStore::ChangeOthers(int32_t team_id, const KindCounts* kind, int64_t change) {
  if (change == 0) return;
  OtherCounts& counts = others_[team_id];
  if (kind == nullptr) {
    counts.total = std::max<int64_t>(0, counts.total + change);
  } else {
    KindCounts& mutable_kind = *by_ordinal_.at(kind->ordinal_);
    int64_t& sum = mutable_kind.others_[team_id];
    const int64_t before = sum;
    sum = std::max<int64_t>(0, sum + change);
    const int32_t own = kind->CountOf(team_id);
    counts.over +=
        OverOnlyWithOthers(own, sum, kind->limit_) - OverOnlyWithOthers(own, before, kind->limit_);
    counts.kinds += (sum != 0) - (before != 0);
    if (sum == 0) mutable_kind.others_.erase(team_id);
  }
  if (counts.total == 0 && counts.kinds == 0) others_.erase(team_id);
}

void DinoCountStore::ClearOthers() {
  for (auto& [path, kind] : kinds_) kind.others_.clear();
  others_.clear();
}

void DinoCountStore::TrackChanges(bool on) {
  tracking_ = on;
  full_ = on;
  changed_.clear();
  taken_.clear();
}

TeamRows DinoCountStore::MakeRows(int32_t team_id, const std::vector<uint32_t>* zeroes,
                                  std::vector<uint32_t>* owned) const {
  TeamRows rows{team_id, TotalOf(team_id), {}};
  for (const auto& [path, kind] : kinds_) {
    const int32_t count = kind.CountOf(team_id);
    const bool was = zeroes != nullptr &&
                     std::find(zeroes->begin(), zeroes->end(), kind.ordinal_) != zeroes->end();
    if (count == 0 && !was) continue;
    rows.kinds.push_back({kind.key_, count});
    if (count != 0 && owned != nullptr) owned->push_back(static_cast<uint32_t>(kind.ordinal_));
  }
  return rows;
}

TeamRows DinoCountStore::RowsOf(int32_t team_id) const {
  return MakeRows(team_id, nullptr, nullptr);
}

ChangedRows DinoCountStore::TakeChanges() {
  ChangedRows taken;
  if (!tracking_) return taken;
  // Rows are made aside; the feed forgets what it took only once all are made.
  std::unordered_map<int32_t, std::vector<uint32_t>> owned_now;
  if (full_) {
    taken.full = true;
    std::unordered_set<int32_t> teams;
    for (const auto& [team, total] : team_totals_) teams.insert(team);
    for (const auto& [path, kind] : kinds_) {
      for (const auto& [team, count] : kind.teams_) teams.insert(team);
    }
    for (const int32_t team : teams) {
      std::vector<uint32_t> owned;
      TeamRows rows = MakeRows(team, nullptr, &owned);
      if (rows.total == 0 && rows.kinds.empty()) continue;
      taken.teams.push_back(std::move(rows));
      if (!owned.empty()) owned_now.emplace(team, std::move(owned));
    }
  } else {
    taken.teams.reserve(changed_.size());
    for (const int32_t team : changed_) {
      const auto before = taken_.find(team);
      std::vector<uint32_t> owned;
      taken.teams.push_back(
          MakeRows(team, before == taken_.end() ? nullptr : &before->second, &owned));
      owned_now.emplace(team, std::move(owned));
    }
  }
  if (full_) {
    taken_.swap(owned_now);
  } else {
    for (auto& [team, owned] : owned_now) {
      if (owned.empty())
        taken_.erase(team);
      else
        taken_[team] = std::move(owned);
    }
  }
  full_ = false;
  changed_.clear();
  std::sort(taken.teams.begin(), taken.teams.end(),
            [](const TeamRows& a, const TeamRows& b) { return a.team < b.team; });
  return taken;
}

KindCounts* DinoCountStore::MutableKind(const FString& path) {
  const auto it = kind_index_.find(path.View());
  return it == kind_index_.end() ? nullptr : &it->second->second;
}

const KindCounts* DinoCountStore::FindKind(const FString& path) const {
  const auto it = kind_index_.find(path.View());
  return it == kind_index_.end() ? nullptr : &it->second->second;
}

const std::vector<const KindCounts*>& DinoCountStore::TierKinds(std::size_t tier) const {
  static const std::vector<const KindCounts*> kNone;
  return tier < tier_kinds_.size() ? tier_kinds_[tier] : kNone;
}

int32_t DinoCountStore::TotalOf(int32_t team_id) const {
  const auto it = team_totals_.find(team_id);
  return it == team_totals_.end() ? 0 : it->second;
}

bool DinoCountStore::FlagOf(int32_t team_id) const {
  const auto it = limit_exceeded_.find(team_id);
  return it != limit_exceeded_.end() && it->second;
}

int32_t DinoCountStore::KindsOverOf(int32_t team_id) const {
  const auto it = kinds_over_.find(team_id);
  return it == kinds_over_.end() ? 0 : it->second;
}

bool DinoCountStore::operator==(const DinoCountStore& other) const {
  const auto same_kind = [](const auto& a, const auto& b) {
    return a.first.View() == b.first.View() && a.second.limit_ == b.second.limit_ &&
           a.second.teams_ == b.second.teams_;
  };
  // The settings say where the kinds came from, not what the store holds.
  return team_totals_ == other.team_totals_ && limit_exceeded_ == other.limit_exceeded_ &&
         std::equal(kinds_.begin(), kinds_.end(), other.kinds_.begin(), other.kinds_.end(),
                    same_kind);
}
