#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sim::tool {

struct Options {
  std::optional<std::filesystem::path> server_dir;  // none: a fresh temporary directory
  std::filesystem::path plugin;
  bool json = false;
  bool verbose = false;  // text: a load lists everything the plug-in registered
  // End with the refusals and counts tables; none: at a terminal and without --json.
  std::optional<bool> summary;
  std::optional<uint16_t> rcon_port;  // 0: any free port, reported on stderr
  std::string rcon_password;
  int rcon_auth_timeout_s = 10;
  int rcon_ban_after = 5;     // failed logins from one address within a minute; 0: no bans
  int rcon_ban_seconds = 60;  // 0: no bans
  // The script (none or "-": standard input); with --check, the configuration to check.
  std::optional<std::filesystem::path> script;
  bool check = false;   // check a configuration instead of running a server
  bool strict = false;  // with check: warnings fail too
  bool help = false;
  // A cluster rehearsal: one server process per map, in this order.
  std::vector<std::string> cluster;
  bool private_db = false;  // with cluster: a private database even when the config names one
};

// Reads the command line (without the program name). On a bad option sets `error` and returns
// nothing; `default_plugin` is the plug-in used without --plugin.
std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::filesystem::path& default_plugin,
                                    std::string& error);

// The --help text: the command line, the exit statuses and every script line.
std::string HelpText();

}  // namespace sim::tool
