#pragma once

#include <string>
#include <string_view>
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

// The entry a script names by its display name or its class name (the path's last part), letter
// case ignored: its path. When no entry or more than one has that name, empty, and `error` says
// so and lists the closest entries (at most 5) with their paths. `what` names the list's kind
// ("creature", "item") in the error.
std::string FindGameName(std::string_view name, const std::vector<GameName>& known,
                         std::string_view what, std::string& error);

// The lines "NAME<TAB>PATH" of a list; lines without a tab are skipped.
std::vector<GameName> ReadGameNames(const std::string& text);

}  // namespace sim::tool
