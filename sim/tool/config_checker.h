#pragma once

#include <functional>
#include <ostream>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/config_check.h"
#include "base/config_parse.h"

// tamewarden-sim --check: the plug-in's own check of a configuration, and the tool's findings
// from the real game data it ships, without loading the plug-in into a world.
namespace sim::tool {

using ConfigCheck = std::function<std::vector<Finding>(const nlohmann::json&)>;

// Checks the text of a configuration file named `name`. Writes "checking NAME", then one line per
// finding ("error: KEY: message" or "warning: KEY: message") and a summary ("N errors, M
// warnings") to `out`, the parse's findings first (see base/config_parse.h); when the text is no
// JSON document or too large, writes the parse error with its position to `err` instead of the
// findings, then a line on its cause. Returns the exit status: 0 without errors, 1 with errors
// (or, when `warnings_fail`, with warnings), 2 when it cannot be parsed. `check` is the plug-in's
// check (a seam for tests).
int CheckConfigText(std::string_view text, std::string_view name, std::ostream& out,
                    std::ostream& err, const ConfigCheck& check = CheckConfig,
                    bool warnings_fail = false);
// The same for a file already parsed (ParseConfigFile refuses a file over the size cap unread).
int CheckParsedConfig(ParsedConfig parsed, std::string_view name, std::ostream& out,
                      std::ostream& err, const ConfigCheck& check = CheckConfig,
                      bool warnings_fail = false);

// Warnings about "Dinos" keys and "ItemMap" entries that name no creature or item of the game's
// lists, with the closest one (the plug-in's check speaks about their form). Paths under
// /Game/Mods/ are a mod's and are only questioned when a known path is close.
std::vector<Finding> GameDataFindings(const nlohmann::json& document);

}  // namespace sim::tool
