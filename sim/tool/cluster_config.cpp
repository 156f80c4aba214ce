#include "sim/tool/cluster_config.h"

#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace sim::tool {
namespace {

bool IsMapName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ParseMapNames(std::string_view list, std::string& error) {
  std::vector<std::string> names;
  std::set<std::string, std::less<>> seen;
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t comma = std::min(list.find(',', at), list.size());
    const std::string name(list.substr(at, comma - at));
    if (!IsMapName(name)) {
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
  return {{"fallback", nlohmann::json(fallback)}, {"forced", nlohmann::json(forced)}};
}

ClusterKeys ClusterKeys::FromJson(const nlohmann::json& json) {
  ClusterKeys keys;
  // Through text, so that the members keep the order they were written in.
  if (json.contains("fallback"))
    keys.fallback = nlohmann::ordered_json::parse(json.at("fallback").dump());
  if (json.contains("forced"))
    keys.forced = nlohmann::ordered_json::parse(json.at("forced").dump());
  return keys;
}

bool ApplyClusterKeys(nlohmann::ordered_json& config, const ClusterKeys& keys) {
  if (!config.is_object()) return false;
  auto section = config.find("Cluster");
  if (section == config.end() || !section->is_object()) {
    config["Cluster"] = keys.fallback;
    section = config.find("Cluster");
  }
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
