#include "sim/tool/options.h"

#include "sim/tool/script_tokens.h"
#include "sim/tool/script_verbs.h"

namespace sim::tool {
namespace {

// --name=value or --name value; false with `error` when the value is missing.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::optional<std::string> inline_value, std::string& value, std::string& error) {
  if (inline_value) {
    value = *inline_value;
    return true;
  }
  if (i + 1 >= args.size()) {
    error = name + " needs a value";
    return false;
  }
  value = args[++i];
  return true;
}

// A whole number from `low` to `high`; false with `error` saying what is wanted.
bool TakeNumber(const std::string& name, const std::string& value, int32_t low, int32_t high,
                const char* wanted, int& out, std::string& error) {
  int32_t number = 0;
  if (!ParseInt(value, number) || number < low || number > high) {
    error = name + " wants " + wanted + ", not \"" + value + "\"";
    return false;
  }
  out = number;
  return true;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::filesystem::path& default_plugin,
                                    std::string& error) {
  Options options;
  options.plugin = default_plugin;
  std::vector<std::string> rcon_options;  // given, other than --rcon-port
  bool only_files = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || arg == "-" || !arg.starts_with("-")) {
      if (options.script) {
        error = "more than one script: " + options.script->string() + " and " + arg;
        return std::nullopt;
      }
      options.script = arg;
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> inline_value;
    if (const auto eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
    }
    std::string value;
    const auto take = [&] { return TakeValue(args, i, name, inline_value, value, error); };
    if (name.starts_with("--rcon-") && name != "--rcon-port") rcon_options.push_back(name);
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--json") {
      options.json = true;
    } else if (name == "--verbose" || name == "-v") {
      options.verbose = true;
    } else if (name == "--check") {
      options.check = true;
      if (inline_value) {
        if (options.script) {
          error = "more than one file: " + options.script->string() + " and " + *inline_value;
          return std::nullopt;
        }
        options.script = *inline_value;
      }
    } else if (name == "--server-dir") {
      if (!take()) return std::nullopt;
      options.server_dir = value;
    } else if (name == "--plugin") {
      if (!take()) return std::nullopt;
      options.plugin = value;
    } else if (name == "--rcon-port") {
      int port = 0;
      if (!take() || !TakeNumber(name, value, 0, 65535, "a port from 0 to 65535", port, error))
        return std::nullopt;
      options.rcon_port = static_cast<uint16_t>(port);
    } else if (name == "--rcon-password") {
      if (!take()) return std::nullopt;
      options.rcon_password = value;
    } else if (name == "--rcon-auth-timeout") {
      if (!take() || !TakeNumber(name, value, 1, 86400, "a number of seconds from 1 to 86400",
                                 options.rcon_auth_timeout_s, error))
        return std::nullopt;
    } else if (name == "--rcon-ban-after") {
      if (!take() ||
          !TakeNumber(name, value, 0, 1000, "a number of failures from 0 (no bans) to 1000",
                      options.rcon_ban_after, error))
        return std::nullopt;
    } else if (name == "--rcon-ban-seconds") {
      if (!take() ||
          !TakeNumber(name, value, 0, 86400, "a number of seconds from 0 (no bans) to 86400",
                      options.rcon_ban_seconds, error))
        return std::nullopt;
    } else {
      error = "unknown option " + name;
      return std::nullopt;
    }
  }
  if (options.help) return options;
  if (options.check) {
    if (options.rcon_port || !rcon_options.empty() || options.json) {
      error = "--check runs no server: it takes only --server-dir and the file to check";
      return std::nullopt;
    }
    return options;  // the checker itself reports a file it cannot read
  }
  if (options.rcon_port && options.rcon_password.empty()) {
    error = "--rcon-port needs --rcon-password with a password that is not empty";
    return std::nullopt;
  }
  if (!options.rcon_port && !rcon_options.empty()) {
    error = rcon_options.front() + " is only used with --rcon-port";
    return std::nullopt;
  }
  if (!std::filesystem::is_regular_file(options.plugin)) {
    error = "no plug-in library at " + options.plugin.string();
    return std::nullopt;
  }
  if (options.script && *options.script != "-" &&
      (!std::filesystem::exists(*options.script) ||
       std::filesystem::is_directory(*options.script))) {
    error = "no script file " + options.script->string();
    return std::nullopt;
  }
  return options;
}

std::string HelpText() {
  return R"(Usage: tamewarden-sim [OPTIONS] [SCRIPT]
       tamewarden-sim --check [--server-dir DIR] [FILE]

The stand-in game server: it loads the Tamewarden plug-in, runs the script's lines against
a world of players and creatures, and prints every event it observes.

  SCRIPT                 a file of script lines; without it (or with -), lines come from
                         standard input, typed with line editing when that is a terminal
  --server-dir DIR       the server directory; the plug-in reads
                         DIR/ArkApi/Plugins/Tamewarden/config.json (default: a fresh
                         temporary directory with the shipped default config, removed at exit)
  --plugin PATH          the plug-in library (default: the one built with this tool)
  --json                 print each event as one JSON object per line
  -v, --verbose          a load lists every command and hook the plug-in registered
  --rcon-port N          also serve Source RCON on 127.0.0.1:N (0: any free port, reported
                         on stderr) and keep serving after the script until interrupted
  --rcon-password PW     the RCON password (required with --rcon-port)
  --rcon-auth-timeout S  drop RCON connections not authenticated within S seconds (10)
  --rcon-ban-after N     ban an address after N failed logins within a minute (5; 0: never)
  --rcon-ban-seconds S   for S seconds (60; 0: no bans)
  --check [FILE]         check a configuration (default: the one under --server-dir, else the
                         shipped examples/config.json) without running a server
  -h, --help             show this text

Exit status: 0 when every line ran; 1 when a line failed, the plug-in failed to load, an
exception escaped into the game or a signal cut a script short; 2 on bad options or a file
that cannot be read. With --check: 0 without errors, 1 with errors, 2 when FILE cannot be
read or parsed.

Script lines (# starts a comment; names are unique per kind of thing):
)" + VerbOverview() +
         R"(When a script defines no player or creature before its first action, the default world
is set up first; the first action other than load, unload or start boots the server
(start, then load) unless load or start came first.
)";
}

}  // namespace sim::tool
