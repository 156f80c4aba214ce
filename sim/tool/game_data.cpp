#include "sim/tool/game_data.h"

#include <sstream>

#include "sim/tool/embedded.h"

namespace sim::tool {

std::vector<GameName> ReadGameNames(const std::string& text) {
  std::vector<GameName> names;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto tab = line.find('\t');
    if (tab == std::string::npos || tab + 1 == line.size()) continue;
    names.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return names;
}

const std::vector<GameName>& KnownCreatures() {
  static const std::vector<GameName> creatures = ReadGameNames(kCreatures);
  return creatures;
}

const std::vector<GameName>& KnownItems() {
  static const std::vector<GameName> items = ReadGameNames(kItems);
  return items;
}

}  // namespace sim::tool
