#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// The configuration of each map of a cluster rehearsal: the one config the run starts from, with
// its "Cluster" section made that map's.
namespace sim::tool {

// The maps of --cluster, "A,B,C", in order: two or more, each 1 to 64 letters, digits, `_`, `.`
// or `-`, and unique; otherwise `error` says why and the list is empty.
std::vector<std::string> ParseMapNames(std::string_view list, std::string& error);

// What a map's "Cluster" section becomes: `fallback` when the document has none (the section of
// the run's first config), then each member of `defaults` it lacks, then every member of `forced`
// written over it (the map's ServerName and, with a private database, where it is). All three
// are objects.
struct ClusterKeys {
  nlohmann::ordered_json fallback = nlohmann::ordered_json::object();
  nlohmann::ordered_json defaults = nlohmann::ordered_json::object();
  nlohmann::ordered_json forced = nlohmann::ordered_json::object();

  nlohmann::json ToJson() const;
  static ClusterKeys FromJson(const nlohmann::json& json);
};

// Applies `keys` to a parsed config document; false, and nothing changed, when it is no object.
bool ApplyClusterKeys(nlohmann::ordered_json& config, const ClusterKeys& keys);

// Rewrites the config file at `path` with `keys` applied; throws std::runtime_error when it
// cannot be read as a JSON object or written.
void ApplyClusterKeysToFile(const std::filesystem::path& path, const ClusterKeys& keys);

}  // namespace sim::tool
