#include "sim/tool/game_data.h"

#include <algorithm>
#include <sstream>

#include "base/spelling.h"
#include "host/game_text.h"
#include "sim/tool/embedded.h"

namespace sim::tool {
namespace {

constexpr std::size_t kMostShown = 5;

// "Rex_Character_BP" of "/Game/.../Rex_Character_BP.Rex_Character_BP".
std::string_view ClassName(std::string_view path) { return path.substr(path.rfind('.') + 1); }

bool SameName(std::string_view a, std::string_view b) {
  return game_text::EqualsIgnoringCase(a, b);
}

bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() &&
         game_text::Folded(text).find(game_text::Folded(part)) != std::string::npos;
}

std::string Listed(const std::vector<const GameName*>& entries) {
  std::string text;
  for (const GameName* entry : entries) text += "\n  " + entry->name + ": " + entry->path;
  return text;
}

// The entries most like `name`: the nearest slips of the keyboard first, then those whose names
// hold it, in the list's order.
std::vector<const GameName*> Closest(std::string_view name, const std::vector<GameName>& known) {
  std::vector<const GameName*> found;
  std::vector<std::string> names;
  std::vector<const GameName*> owners;
  for (const GameName& entry : known) {
    names.push_back(entry.name);
    owners.push_back(&entry);
    names.emplace_back(ClassName(entry.path));
    owners.push_back(&entry);
  }
  while (found.size() < kMostShown) {
    const std::string nearest = NearestName(name, names);
    if (nearest.empty()) break;
    const auto at = std::ranges::find(names, nearest) - names.begin();
    const GameName* entry = owners[static_cast<std::size_t>(at)];
    found.push_back(entry);
    // Both of the entry's names leave the candidates.
    for (std::size_t i = names.size(); i-- > 0;) {
      if (owners[i] != entry) continue;
      names.erase(names.begin() + static_cast<std::ptrdiff_t>(i));
      owners.erase(owners.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  for (const GameName& entry : known) {
    if (found.size() >= kMostShown) break;
    if (std::ranges::find(found, &entry) == found.end() &&
        (Contains(entry.name, name) || Contains(ClassName(entry.path), name)))
      found.push_back(&entry);
  }
  return found;
}

}  // namespace

std::string FindGameName(std::string_view name, const std::vector<GameName>& known,
                         std::string_view what, std::string& error) {
  std::vector<const GameName*> matches;
  for (const GameName& entry : known) {
    if (SameName(entry.name, name) || SameName(ClassName(entry.path), name))
      matches.push_back(&entry);
  }
  const std::string shown = "\"" + std::string(name) + "\"";
  if (matches.size() == 1) return matches.front()->path;
  if (matches.size() > 1) {
    if (matches.size() > kMostShown) matches.resize(kMostShown);
    error =
        shown + " names more than one " + std::string(what) + "; give its path:" + Listed(matches);
    return "";
  }
  const std::vector<const GameName*> closest = Closest(name, known);
  error = "no " + std::string(what) + " named " + shown + " and no path like /Game/Dir/Name.Name" +
          (closest.empty() ? std::string() : "; the closest:" + Listed(closest));
  return "";
}

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
