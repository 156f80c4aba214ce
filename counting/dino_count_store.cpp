#include "counting/dino_count_store.h"

#include "counting/blueprint_path.h"
#include "plugin/config.h"
#include "plugin/text.h"

bool CaseInsensitiveLess::operator()(const FString& a, const FString& b) const {
  const std::u16string_view x = a.View(), y = b.View();
  const std::size_t n = std::min(x.size(), y.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t cx = FoldCase(x[i]), cy = FoldCase(y[i]);
    if (cx != cy) return cx < cy;
  }
  return x.size() < y.size();
}

std::size_t DinoCountStore::FoldedHash::operator()(std::u16string_view path) const {
  std::size_t hash = 14695981039346656037ull;  // FNV-1a
  for (char16_t c : path) hash = (hash ^ FoldCase(c)) * 1099511628211ull;
  return hash;
}

bool DinoCountStore::FoldedEqual::operator()(std::u16string_view a, std::u16string_view b) const {
  if (a.size() != b.size()) return false;
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

void AddKind(FString path) {
  DinoCountStore& store = Store();
  std::string config_name = ToUtf8(path);
  const auto [it, added] = store.dino_counts.try_emplace(std::move(path));
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
