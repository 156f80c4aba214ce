#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sim/tool/options.h"

// A cluster rehearsal (--cluster): one stand-in server process per map, each the tool itself in
// its map mode, driven by one script.
namespace sim::tool {

// The first argument that starts the map mode; not an option a person gives.
inline constexpr char kMapModeArg[] = "--map-process";

// The tool as a map's server: `args` are, after kMapModeArg, the map's name, its server
// directory, the plug-in, the script's directory and "verbose" or "quiet". It reads messages on
// standard input, one a line, and writes each one's events as JSON lines, then an end mark:
//   K JSON           the keys a `config FILE` line sets (ClusterKeys::ToJson)
//   L LINE TEXT      runs a script line
//   S LINE SECONDS   syncs quietly, as before a switch of maps; only an error is reported
//   O LINE SECONDS   waits quietly until the plug-in has found the database gone (db_stop)
//   U                unloads the plug-in (the end of the run)
// At the end of its input it unloads the plug-in and exits 0.
int RunMapProcess(const std::vector<std::string>& args);

// The driving side: exit status as a single server's run.
int RunCluster(const Options& options, const std::string& default_config);

}  // namespace sim::tool
