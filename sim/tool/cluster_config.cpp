#include "sim/tool/cluster_config.h"

#include "base/config_check.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace sim::tool {

std::vector<std::string> ParseMapNames(std::string_view list, std::string& error) {
  std::vector<std::string> names;
  std::set<std::string, std::less<>> seen;
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t comma = std::min(list.find(',', at), list.size());
    const std::string name(list.substr(at, comma - at));
    if (!::IsMapName(name)) {
      error = "bad map name \"" + name + "\" (1 to 64 letters, digits, _ . -)";
      return {};
    }
    if (!seen.insert(name).second) {
      error = "the map " + name + " is named twice";
      return {};
    }
    names.push_back(name);
    at = comma + 1;
  }
  if (names.size() < 2) {
    error = "a cluster needs two maps or more";
    return {};
  }
  return names;
}

nlohmann::json ClusterKeys::ToJson() const {
  // Through text, so that each side keeps the members in the order they were written.
  return {{"fallback", fallback.dump()}, {"defaults", defaults.dump()}, {"forced", forced.dump()}};
}

ClusterKeys ClusterKeys::FromJson(const nlohmann::json& json) {
  ClusterKeys keys;
  const auto read = [&](const char* key, nlohmann::ordered_json& into) {
    if (!json.is_object() || !json.contains(key) || !json[key].is_string()) return;
    auto parsed = nlohmann::ordered_json::parse(json[key].get<std::string>(), nullptr, false);
    if (parsed.is_object()) into = std::move(parsed);
  };
  read("fallback", keys.fallback);
  read("defaults", keys.defaults);
  read("forced", keys.forced);
  return keys;
}

bool ApplyClusterKeys(nlohmann::ordered_json& config, const ClusterKeys& keys) {
  if (!config.is_object()) return false;
  auto section = config.find("Cluster");
  if (section == config.end() || !section->is_object()) {
    config["Cluster"] = keys.fallback;
    section = config.find("Cluster");
  }
  for (const auto& [key, value] : keys.defaults.items())
    if (!section->contains(key)) (*section)[key] = value;
  for (const auto& [key, value] : keys.forced.items()) (*section)[key] = value;
  return true;
}

void ApplyClusterKeysToFile(const std::filesystem::path& path, const ClusterKeys& keys) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  nlohmann::ordered_json config =
      nlohmann::ordered_json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (!in || config.is_discarded() || !ApplyClusterKeys(config, keys))
    throw std::runtime_error("cannot set the cluster's keys in " + path.string() +
                             ": it is no JSON object");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << config.dump(2) << "\n";
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace sim::tool
