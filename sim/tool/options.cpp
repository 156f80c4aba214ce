#include "sim/tool/options.h"

#include "sim/tool/script_parser.h"

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

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::filesystem::path& default_plugin,
                                    std::string& error) {
  Options options;
  options.plugin = default_plugin;
  bool rcon_password_given = false;
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
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--json") {
      options.json = true;
    } else if (name == "--server-dir") {
      if (!TakeValue(args, i, name, inline_value, value, error)) return std::nullopt;
      options.server_dir = value;
    } else if (name == "--plugin") {
      if (!TakeValue(args, i, name, inline_value, value, error)) return std::nullopt;
      options.plugin = value;
    } else if (name == "--rcon-port") {
      if (!TakeValue(args, i, name, inline_value, value, error)) return std::nullopt;
      int32_t port = -1;
      if (!ParseInt(value, port) || port < 0 || port > 65535) {
        error = "--rcon-port wants a port from 0 to 65535, not \"" + value + "\"";
        return std::nullopt;
      }
      options.rcon_port = static_cast<uint16_t>(port);
    } else if (name == "--rcon-password") {
      if (!TakeValue(args, i, name, inline_value, value, error)) return std::nullopt;
      options.rcon_password = value;
      rcon_password_given = true;
    } else if (name == "--rcon-auth-timeout") {
      if (!TakeValue(args, i, name, inline_value, value, error)) return std::nullopt;
      int32_t seconds = 0;
      if (!ParseInt(value, seconds) || seconds < 1) {
        error = "--rcon-auth-timeout wants a number of seconds, at least 1";
        return std::nullopt;
      }
      options.rcon_auth_timeout_s = seconds;
    } else {
      error = "unknown option " + name;
      return std::nullopt;
    }
  }
  if (options.help) return options;
  if (options.rcon_port && options.rcon_password.empty()) {
    error = "--rcon-port needs --rcon-password with a password that is not empty";
    return std::nullopt;
  }
  if (rcon_password_given && !options.rcon_port) {
    error = "--rcon-password is only used with --rcon-port";
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
  std::string text = R"(Usage: tamewarden-sim [OPTIONS] [SCRIPT]

The stand-in game server: it loads the Tamewarden plug-in, runs the script's lines against
a world of players and creatures, and prints every event it observes.

  SCRIPT                 a file of script lines; without it (or with -), lines come from
                         standard input, typed with line editing when that is a terminal
  --server-dir DIR       the server directory; the plug-in reads
                         DIR/ArkApi/Plugins/Tamewarden/config.json (default: a fresh
                         temporary directory with the shipped default config, removed at exit)
  --plugin PATH          the plug-in library (default: the one built with this tool)
  --json                 print each event as one JSON object per line
  --rcon-port N          also serve Source RCON on 127.0.0.1:N (0: any free port, reported
                         on stderr) and keep serving after the script until interrupted
  --rcon-password PW     the RCON password (required with --rcon-port)
  --rcon-auth-timeout S  drop RCON connections not authenticated within S seconds (10)
  -h, --help             show this text

Exit status: 0 when every line ran, 1 when a line failed, 2 on bad options.

Script lines (# starts a comment; names are unique per kind of thing):
)";
  for (const Form& form : Forms()) {
    text += "  " + std::string(form.usage) + "\n";
  }
  text += R"(When a script defines no player or creature before its first action, the default world
is set up first; the first action other than load, unload or start boots the server
(start, then load) unless load or start came first.
)";
  return text;
}

}  // namespace sim::tool
