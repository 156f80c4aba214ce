#include "counting/dino_count_store.h"

#include <algorithm>
#include <cstring>

#include "counting/blueprint_path.h"
#include "plugin/config.h"

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

void ClearStore() {
  DinoCountStore& store = Store();
  store.kind_index.clear();
  store.dino_counts.clear();
  store.team_totals.clear();
  store.limit_exceeded.clear();
}

void AddKind(std::string_view member_name) {
  DinoCountStore& store = Store();
  // The key's own UTF-8 text: the name with the bytes the key turned into '?' replaced alike.
  std::string config_name(member_name);
  for (char& c : config_name) {
    if (static_cast<unsigned char>(c) > 0x7F) c = '?';
  }
  const auto [it, added] = store.dino_counts.try_emplace(FString(member_name));
  if (!added) return;
  it->second.config_name = std::move(config_name);
  store.kind_index.emplace(it->first.View(), it);
}

KindCounts* FindKind(const FString& path) {
  DinoCountStore& store = Store();
  const auto it = store.kind_index.find(path.View());
  return it == store.kind_index.end() ? nullptr : &it->second->second;
}

int32_t& TeamTotal(int32_t team_id) { return Store().team_totals[team_id]; }

bool& LimitExceeded(int32_t team_id) { return Store().limit_exceeded[team_id]; }

int32_t KindLimit(const KindCounts& kind) {
  nlohmann::json& dinos = PluginConfig["Dinos"];
  // Reads Dinos[name] with an empty object as default, without copying the member.
  if (!dinos.is_object())
    return dinos.value(kind.config_name, nlohmann::json::object()).value("Count", 9999);
  const auto member = dinos.find(kind.config_name);
  return member == dinos.end() ? 9999 : member->value("Count", 9999);
}

int32_t TotalLimit() { return PluginConfig["General"].value("MaxAmount", 0); }
