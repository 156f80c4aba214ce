#include "counting/other_maps.h"

#include <algorithm>
#include <limits>

#include "host/game_text.h"

namespace {

// A count as stored: never below zero, never past what a count holds.
int32_t Bounded(int64_t count) {
  return static_cast<int32_t>(std::clamp<int64_t>(count, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

OtherMaps& Others() {
  static OtherMaps others(Store());
  return others;
}

namespace {
ClusterExchange& Exchange() {
  static ClusterExchange exchange;
  return exchange;
}
}  // namespace

void SetClusterExchange(ClusterExchange exchange) { Exchange() = exchange; }

void PostClusterChanges() {
  if (const auto post = Exchange().post) post();
}

void RefreshClusterCounts() {
  if (const auto refresh = Exchange().refresh) refresh();
}

uint32_t OtherMaps::KeyId(std::string_view key) {
  const std::string folded = game_text::Folded(key);
  if (const auto it = key_ids_.find(folded); it != key_ids_.end()) return it->second;
  const auto id = static_cast<uint32_t>(keys_.size());
  keys_.push_back({std::string(key), store_.FindKind(FString(key))});
  key_ids_.emplace(folded, id);
  return id;
}

void OtherMaps::Set(Teams& teams, int32_t team_id, std::string_view kind, int64_t count) {
  const int32_t value = Bounded(count);
  auto it = teams.find(team_id);
  if (it == teams.end()) {
    if (value == 0) return;
    it = teams.try_emplace(team_id).first;
  }
  TeamOnMap& counts = it->second;
  if (kind.empty()) {
    store_.ChangeOthers(team_id, nullptr, int64_t{value} - counts.total);
    counts.total = value;
  } else {
    const uint32_t key = KeyId(kind);
    auto row = std::find_if(counts.kinds.begin(), counts.kinds.end(),
                            [key](const auto& entry) { return entry.first == key; });
    const int32_t before = row == counts.kinds.end() ? 0 : row->second;
    if (const KindCounts* configured = keys_[key].kind)
      store_.ChangeOthers(team_id, configured, int64_t{value} - before);
    if (value == 0) {
      if (row != counts.kinds.end()) counts.kinds.erase(row);
    } else if (row == counts.kinds.end()) {
      counts.kinds.emplace_back(key, value);
    } else {
      row->second = value;
    }
  }
  if (counts.total == 0 && counts.kinds.empty()) teams.erase(it);
}

void OtherMaps::Withdraw(int32_t team_id, const TeamOnMap& counts) {
  store_.ChangeOthers(team_id, nullptr, -counts.total);
  for (const auto& [key, count] : counts.kinds) {
    if (const KindCounts* configured = keys_[key].kind)
      store_.ChangeOthers(team_id, configured, -int64_t{count});
  }
}

void OtherMaps::ReplaceMap(std::string_view map, std::span<const ClusterRow> rows) {
  if (bound_ != store_.kinds_id()) Refeed();
  if (const auto it = maps_.find(map); it != maps_.end()) {
    for (const auto& [team, counts] : it->second) Withdraw(team, counts);
    maps_.erase(it);
  }
  if (rows.empty()) return;
  Teams& teams = maps_[std::string(map)];
  for (const ClusterRow& row : rows) Set(teams, row.team, row.kind, row.count);
  if (teams.empty()) maps_.erase(maps_.find(map));
}

void OtherMaps::ApplyRows(std::string_view map, std::span<const ClusterRow> rows) {
  if (bound_ != store_.kinds_id()) Refeed();
  auto it = maps_.find(map);
  if (it == maps_.end()) it = maps_.try_emplace(std::string(map)).first;
  for (const ClusterRow& row : rows) Set(it->second, row.team, row.kind, row.count);
  if (it->second.empty()) maps_.erase(it);
}

void OtherMaps::ForgetMap(std::string_view map) {
  if (bound_ != store_.kinds_id()) Refeed();
  const auto it = maps_.find(map);
  if (it == maps_.end()) return;
  for (const auto& [team, counts] : it->second) Withdraw(team, counts);
  maps_.erase(it);
}

void OtherMaps::Clear() {
  maps_.clear();
  keys_.clear();
  key_ids_.clear();
  store_.ClearOthers();
  bound_ = store_.kinds_id();
}

void OtherMaps::Refeed() {
  bound_ = store_.kinds_id();
  store_.ClearOthers();
  for (Key& key : keys_) key.kind = store_.FindKind(FString(std::string_view(key.text)));
  for (const auto& [name, teams] : maps_) {
    for (const auto& [team, counts] : teams) {
      store_.ChangeOthers(team, nullptr, counts.total);
      for (const auto& [key, count] : counts.kinds) {
        if (const KindCounts* configured = keys_[key].kind)
          store_.ChangeOthers(team, configured, count);
      }
    }
  }
}
