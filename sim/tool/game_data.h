#pragma once

#include <string>
#include <vector>

// The real game paths the tool ships (examples/creatures.tsv and examples/items.tsv, built in):
// the checker compares a configuration's paths with them and the prompt completes them.
namespace sim::tool {

struct GameName {
  std::string name;  // the display name, such as "Rex"
  std::string path;  // the blueprint path without Blueprint'...', "/Game/.../X.X"
};

// In the files' order; read once, on first use.
const std::vector<GameName>& KnownCreatures();
const std::vector<GameName>& KnownItems();

// The lines "NAME<TAB>PATH" of a list; lines without a tab are skipped.
std::vector<GameName> ReadGameNames(const std::string& text);

}  // namespace sim::tool
