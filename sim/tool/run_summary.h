#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/server.h"

namespace sim::tool {

// What a run ends with, for a person: the plug-in's refusals counted by road, team, kind and
// reason (from its log lines, as an owner reads them), and every team's counts as the plug-in
// holds them against its limits next to the world's own count.
class RunSummary {
 public:
  // Notes a refusal the event reports.
  void Observe(const nlohmann::json& event);

  // The two tables, each line ending in a newline. `names` maps kind paths to display names.
  std::string Refusals(const nlohmann::json& names) const;
  // Asks the plug-in quietly (`tw.counts TEAM`) for each team that owns creatures; empty when
  // no plug-in is loaded.
  static std::string Counts(Server& server, const nlohmann::json& names);

 private:
  // road, team, kind, reason → how often
  std::map<std::tuple<std::string, std::string, std::string, std::string>, int> refusals_;
};

// Lines as a table: columns padded to their widest cell, two spaces apart.
std::string Table(const std::vector<std::vector<std::string>>& rows);

}  // namespace sim::tool
