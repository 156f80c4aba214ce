#include "sim/tool/config_checker.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <string>

#include "base/config_parse.h"
#include "base/log_field.h"
#include "base/spelling.h"
#include "host/game_text.h"
#include "sim/tool/game_data.h"

namespace sim::tool {
namespace {

constexpr std::string_view kModFolder = "/Game/Mods/";

// The game's paths of one list, and how the plug-in compares a configured path with them.
struct KnownPaths {
  const char* what;                // "creature" or "item"
  bool ignore_case;                // creature kinds match ignoring case, ItemMap keys exactly
  std::vector<std::string> paths;  // bare
  std::set<std::string> index;     // bare, lower case when ignore_case

  KnownPaths(const char* what_, bool ignore_case_, const std::vector<GameName>& names)
      : what(what_), ignore_case(ignore_case_) {
    for (const GameName& name : names) {
      paths.push_back(name.path);
      index.insert(ignore_case ? game_text::Folded(name.path) : name.path);
    }
  }
  bool Knows(std::string_view bare) const {
    return index.contains(ignore_case ? game_text::Folded(bare) : std::string(bare));
  }
};

// Whether the game knows one configured path (the plug-in's check already speaks about its form).
void CheckPath(const std::string& key, std::string_view path, std::string_view role,
               const KnownPaths& known, std::vector<Finding>& findings) {
  const std::string_view bare = game_text::Unwrap(path, known.ignore_case);
  if (known.Knows(bare)) return;
  const std::string nearest = NearestName(bare, known.paths);
  if (!nearest.empty()) {
    findings.push_back({Severity::kWarning, key,
                        std::string(role) + " names no " + known.what +
                            " of the game; did you mean " + game_text::Wrap(nearest) + "?"});
  } else if (!bare.starts_with(kModFolder)) {
    findings.push_back({Severity::kWarning, key,
                        std::string(role) + " names no " + known.what +
                            " of the game's lists; right for one a mod adds, otherwise copy the "
                            "path the game shows (GetDinoBp aimed at a creature)"});
  }
}

std::string Count(std::size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

std::vector<Finding> GameDataFindings(const nlohmann::json& document) {
  static const KnownPaths creatures("creature", true, KnownCreatures());
  static const KnownPaths items("item", false, KnownItems());
  std::vector<Finding> findings;
  if (!document.is_object()) return findings;
  if (const auto dinos = document.find("Dinos"); dinos != document.end() && dinos->is_object()) {
    for (const auto& [path, limit] : dinos->items())
      CheckPath("Dinos[\"" + path + "\"]", path, "the key", creatures, findings);
  }
  if (const auto map = document.find("ItemMap"); map != document.end() && map->is_object()) {
    for (const auto& [item, creature] : map->items()) {
      const std::string key = "ItemMap[\"" + item + "\"]";
      CheckPath(key, item, "the item", items, findings);
      if (creature.is_string())
        CheckPath(key, creature.get_ref<const std::string&>(), "the creature it spawns", creatures,
                  findings);
    }
  }
  return findings;
}

int CheckConfigText(std::string_view text, std::string_view name, std::ostream& out,
                    std::ostream& err, const ConfigCheck& check, bool warnings_fail) {
  // Read as the plug-in reads it: the first value, what follows it a warning.
  return CheckParsedConfig(ParseConfigText(text, name), name, out, err, check, warnings_fail);
}

int CheckParsedConfig(ParsedConfig parsed, std::string_view name, std::ostream& out,
                      std::ostream& err, const ConfigCheck& check, bool warnings_fail) {
  out << "checking " << name << "\n";
  if (!parsed.error.empty()) {
    // The parser quotes what it read, bytes that are no text included: written escaped.
    err << "tamewarden-sim: " << name << ": " << LogField(parsed.error) << "\n";
    if (!parsed.detail.empty()) err << "tamewarden-sim: " << LogField(parsed.detail) << "\n";
    return 2;
  }
  const nlohmann::json& document = parsed.document;
  std::vector<Finding> findings = std::move(parsed.findings);
  try {
    std::ranges::move(check(document), std::back_inserter(findings));
  } catch (const std::exception& e) {
    findings.push_back(
        {Severity::kError, "(document)", std::string("the check failed: ") + e.what()});
  }
  std::ranges::move(GameDataFindings(document), std::back_inserter(findings));
  for (const Finding& finding : findings) out << FormatFinding(finding) << "\n";
  const std::size_t errors = CountFindings(findings, Severity::kError);
  const std::size_t warnings = CountFindings(findings, Severity::kWarning);
  out << Count(errors, "error") << ", " << Count(warnings, "warning") << "\n";
  return errors > 0 || (warnings_fail && warnings > 0) ? 1 : 0;
}

}  // namespace sim::tool
