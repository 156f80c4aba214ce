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
  std::optional<uint16_t> rcon_port;  // 0: any free port, reported on stderr
  std::string rcon_password;
  int rcon_auth_timeout_s = 10;
  std::optional<std::filesystem::path> script;  // none or "-": standard input
  bool help = false;
};

// Reads the command line (without the program name). On a bad option sets `error` and returns
// nothing; `default_plugin` is the plug-in used without --plugin.
std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::filesystem::path& default_plugin,
                                    std::string& error);

// The --help text: the command line and every script line.
std::string HelpText();

}  // namespace sim::tool
