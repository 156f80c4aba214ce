#include "counting/dino_count_store.h"

#include <algorithm>
#include <cstring>

#include "counting/blueprint_path.h"

bool CaseInsensitiveLess::operator()(const FString& a, const FString& b) const {
  const std::u16string_view x = a.View(), y = b.View();
  const std::size_t n = std::min(x.size(), y.size());
  // Paths share long prefixes spelled alike: skip those before folding.
  std::size_t i = static_cast<std::size_t>(
      std::mismatch(x.begin(), x.begin() + n, y.begin()).first - x.begin());
  for (; i < n; ++i) {
    const char16_t cx = FoldCase(x[i]), cy = FoldCase(y[i]);
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
  if (std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0)
    return true;  // spelled alike
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

DinoCountStore& Store() {
  static DinoCountStore store;
  return store;
}

void DinoCountStore::AddKind(std::string_view member_name, int32_t limit) {
  // The key's own UTF-8 text: the name with the bytes the key turned into '?' replaced alike.
  std::string config_name(member_name);
  for (char& c : config_name) {
    if (static_cast<unsigned char>(c) > 0x7F) c = '?';
  }
  const auto [it, added] = dino_counts_.try_emplace(FString(member_name));
  if (!added) return;
  it->second.config_name = std::move(config_name);
  it->second.limit = limit;
  it->second.ordinal = dino_counts_.size() - 1;
  kind_index_.emplace(it->first.View(), it);
}

DinoCountStore& DinoCountStore::operator=(DinoCountStore&& other) noexcept {
  dino_counts_ = std::move(other.dino_counts_);
  team_totals_ = std::move(other.team_totals_);
  limit_exceeded_ = std::move(other.limit_exceeded_);
  kinds_over_ = std::move(other.kinds_over_);
  tier_kinds_ = std::move(other.tier_kinds_);
  kind_index_ = std::move(other.kind_index_);
  kinds_generation_ = std::exchange(other.kinds_generation_, 0);
  other.dino_counts_.clear();
  other.team_totals_.clear();
  other.limit_exceeded_.clear();
  other.kinds_over_.clear();
  other.tier_kinds_.clear();
  other.kind_index_.clear();
  return *this;
}

StoreCounts DinoCountStore::EmptyCounts() const {
  StoreCounts counts;
  counts.kind_teams.resize(dino_counts_.size());
  counts.team_totals.reserve(team_totals_.size());
  counts.limit_exceeded.reserve(limit_exceeded_.size());
  counts.kinds_over.reserve(kinds_over_.size());
  return counts;
}

void DinoCountStore::SetTierCount(std::size_t tiers) {
  for (auto& [path, kind] : dino_counts_) kind.tier_limits.assign(tiers, kind.limit);
  tier_kinds_.assign(tiers, {});
}

bool DinoCountStore::SetTierLimit(std::size_t tier, std::string_view kind_key, int32_t limit) {
  KindCounts* kind = FindKind(FString(kind_key));
  if (kind == nullptr || tier >= tier_kinds_.size()) return false;
  kind->tier_limits[tier] = limit;
  if (std::find(tier_kinds_[tier].begin(), tier_kinds_[tier].end(), kind) ==
      tier_kinds_[tier].end())
    tier_kinds_[tier].push_back(kind);
  return true;
}

const std::vector<const KindCounts*>& DinoCountStore::TierKinds(std::size_t tier) const {
  static const std::vector<const KindCounts*> kNone;
  return tier < tier_kinds_.size() ? tier_kinds_[tier] : kNone;
}

int32_t DinoCountStore::KindsOverOf(int32_t team_id) const {
  const auto it = kinds_over_.find(team_id);
  return it == kinds_over_.end() ? 0 : it->second;
}

void DinoCountStore::ReplaceCounts(StoreCounts&& counts) noexcept {
  for (auto& [path, kind] : dino_counts_) kind.teams.swap(counts.kind_teams[kind.ordinal]);
  team_totals_.swap(counts.team_totals);
  limit_exceeded_.swap(counts.limit_exceeded);
  kinds_over_.swap(counts.kinds_over);
}

KindCounts* DinoCountStore::FindKind(const FString& path) {
  const auto it = kind_index_.find(path.View());
  return it == kind_index_.end() ? nullptr : &it->second->second;
}

const KindCounts* DinoCountStore::FindKind(const FString& path) const {
  const auto it = kind_index_.find(path.View());
  return it == kind_index_.end() ? nullptr : &it->second->second;
}

int32_t DinoCountStore::TotalOf(int32_t team_id) const {
  const auto it = team_totals_.find(team_id);
  return it == team_totals_.end() ? 0 : it->second;
}

bool DinoCountStore::FlagOf(int32_t team_id) const {
  const auto it = limit_exceeded_.find(team_id);
  return it != limit_exceeded_.end() && it->second;
}

int32_t DinoCountStore::CountOf(const KindCounts& kind, int32_t team_id) {
  const auto it = kind.teams.find(team_id);
  return it == kind.teams.end() ? 0 : it->second;
}

bool DinoCountStore::operator==(const DinoCountStore& other) const {
  const auto same_kind = [](const auto& a, const auto& b) {
    return a.first.View() == b.first.View() && a.second.config_name == b.second.config_name &&
           a.second.limit == b.second.limit && a.second.teams == b.second.teams;
  };
  // The generation says where the kinds came from, not what the store holds.
  return team_totals_ == other.team_totals_ && limit_exceeded_ == other.limit_exceeded_ &&
         std::equal(dino_counts_.begin(), dino_counts_.end(), other.dino_counts_.begin(),
                    other.dino_counts_.end(), same_kind);
}
