#include "sim/tool/options.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string_view>

#include <fmt/format.h>

#include "sim/tool/cluster_config.h"
#include "sim/tool/script_tokens.h"
#include "sim/tool/script_verbs.h"

namespace sim::tool {
namespace {

// What is wrong with the command line, as the tool says it.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Value = std::optional<std::string>;  // --name=value or --name value; none for a switch
using Setter = std::function<void(Options&, std::string_view name, const Value& value)>;

// The script or, with --check, the file to check: one at most.
void SetFile(Options& options, const std::string& file, std::string_view what) {
  if (options.script) {
    throw UsageError(
        fmt::format("more than one {}: {} and {}", what, options.script->string(), file));
  }
  options.script = file;
}

Setter Switch(bool Options::*member) {
  return [member](Options& options, std::string_view, const Value&) { options.*member = true; };
}

template <typename T>
Setter Text(T Options::*member) {
  return [member](Options& options, std::string_view, const Value& value) {
    options.*member = *value;
  };
}

// A whole number from `low` to `high`; `wanted` says so to one who gives another.
template <typename T>
Setter Number(T Options::*member, int32_t low, int32_t high, std::string_view wanted) {
  return [=](Options& options, std::string_view name, const Value& value) {
    int32_t number = 0;
    if (!ParseInt(*value, number) || number < low || number > high)
      throw UsageError(fmt::format("{} wants {}, not \"{}\"", name, wanted, *value));
    options.*member = number;
  };
}

// The command line, one row per option in the order --help shows them; the parser reads the
// names and placeholders.
struct Option {
  std::string_view names;  // as --help shows them, such as "-v, --verbose"
  std::string_view value;  // its placeholder: "DIR" must be given, "[FILE]" only as --check=FILE
  std::string_view help;   // its later lines stand under the first
  Setter set;              // null for SCRIPT, which is no option
};

const std::vector<Option>& Table() {
  static const std::vector<Option> table = {
      {"SCRIPT", "",
       "a file of script lines; without it (or with -), lines come from\n"
       "standard input, typed with line editing when that is a terminal",
       nullptr},
      {"--server-dir", "DIR",
       "the server directory; the plug-in reads\n"
       "DIR/ArkApi/Plugins/Tamewarden/config.json (default: a fresh\n"
       "temporary directory with the shipped default config, removed at exit)",
       Text(&Options::server_dir)},
      {"--plugin", "PATH", "the plug-in library (default: the one built with this tool)",
       Text(&Options::plugin)},
      {"--json", "", "print each event as one JSON object per line", Switch(&Options::json)},
      {"-v, --verbose", "",
       "echo the set-up's lines (player, dino, item...) too; a load lists\n"
       "every command and hook the plug-in registered",
       Switch(&Options::verbose)},
      {"--summary", "",
       "end with two tables: refusals by road, team, kind and reason, and each\n"
       "team's counts against its limits next to truth (default at a terminal\n"
       "without --json; with --json they go to stderr)",
       [](Options& options, std::string_view, const Value&) { options.summary = true; }},
      {"--no-summary", "", "no tables at the end",
       [](Options& options, std::string_view, const Value&) { options.summary = false; }},
      {"--rcon-port", "N",
       "also serve Source RCON on 127.0.0.1:N (0: any free port, reported\n"
       "on stderr) and keep serving after the script until interrupted",
       Number(&Options::rcon_port, 0, 65535, "a port from 0 to 65535")},
      {"--rcon-password", "PW", "the RCON password (required with --rcon-port)",
       Text(&Options::rcon_password)},
      {"--rcon-auth-timeout", "S", "drop RCON connections not authenticated within S seconds (10)",
       Number(&Options::rcon_auth_timeout_s, 1, 86400, "a number of seconds from 1 to 86400")},
      {"--rcon-ban-after", "N",
       "ban an address after N failed logins within a minute (5; 0: never)",
       Number(&Options::rcon_ban_after, 0, 1000, "a number of failures from 0 (no bans) to 1000")},
      {"--rcon-ban-seconds", "S", "for S seconds (60; 0: no bans)",
       Number(&Options::rcon_ban_seconds, 0, 86400,
              "a number of seconds from 0 (no bans) to 86400")},
      {"--check", "[FILE]",
       "check a configuration (default: the one under --server-dir, else the\n"
       "shipped examples/config.json) without running a server",
       [](Options& options, std::string_view, const Value& file) {
         options.check = true;
         if (file) SetFile(options, *file, "file");
       }},
      {"--strict", "", "with --check, exit with status 1 on warnings too",
       Switch(&Options::strict)},
      {"--cluster", "MAPS",
       "rehearse a cluster of MAPS (NAME,NAME[,...]): one server process per\n"
       "map, in DIR/NAME/, its config's \"Cluster\" keys made that map's;\n"
       "@MAP LINE runs a line on one map, other lines on every map",
       [](Options& options, std::string_view, const Value& value) {
         options.cluster = {*value};  // the names are checked with the whole line
       }},
      {"--private-db", "",
       "with --cluster, start a private MariaDB for the run even when the\n"
       "config names a database (without a \"Cluster\" section it always does)",
       Switch(&Options::private_db)},
      {"-h, --help", "", "show this text", Switch(&Options::help)},
  };
  return table;
}

const Option* FindOption(std::string_view name) {
  // Each row names its option once or more, as "-h, --help".
  for (const Option& option : Table()) {
    for (std::string_view names = option.names; !names.empty();) {
      const std::size_t comma = std::min(names.find(", "), names.size());
      if (names.substr(0, comma) == name) return &option;
      names.remove_prefix(std::min(comma + 2, names.size()));
    }
  }
  return nullptr;
}

Options Parse(const std::vector<std::string>& args, const std::filesystem::path& default_plugin) {
  Options options;
  options.plugin = default_plugin;
  std::vector<std::string> rcon_options;  // given, other than --rcon-port
  bool only_files = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || arg == "-" || !arg.starts_with("-")) {
      SetFile(options, arg, "script");
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    Value value;
    if (eq != std::string::npos) value = arg.substr(eq + 1);
    const Option* option = FindOption(name);
    if (option == nullptr) throw UsageError("unknown option " + name);
    if (name.starts_with("--rcon-") && name != "--rcon-port") rcon_options.push_back(name);
    if (!value && !option->value.empty() && !option->value.starts_with('[')) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    option->set(options, name, value);
  }
  if (options.help) return options;
  if (!options.cluster.empty()) {
    std::string error;
    options.cluster = ParseMapNames(options.cluster.front(), error);
    if (!error.empty()) throw UsageError("--cluster: " + error);
  }
  if (options.strict && !options.check) throw UsageError("--strict is only used with --check");
  if (options.private_db && options.cluster.empty())
    throw UsageError("--private-db is only used with --cluster");
  // Each map counts apart; the cluster's counts are for tw.counts and truth lines to show.
  if (options.summary.value_or(false) && !options.cluster.empty())
    throw UsageError(
        "--summary is not available with --cluster: ask each map with "
        "\"@MAP rcon tw.counts TEAM\" and \"@MAP truth\" lines instead");
  if (options.check) {
    if (options.rcon_port || !rcon_options.empty() || options.json || !options.cluster.empty())
      throw UsageError(
          "--check runs no server: it takes only --server-dir, --strict and the file to check");
    return options;  // the checker itself reports a file it cannot read
  }
  if (!options.cluster.empty() && options.rcon_port)
    throw UsageError("--rcon-port serves one server; a --cluster rehearsal has several");
  if (options.rcon_port && options.rcon_password.empty())
    throw UsageError("--rcon-port needs --rcon-password with a password that is not empty");
  if (!options.rcon_port && !rcon_options.empty())
    throw UsageError(rcon_options.front() + " is only used with --rcon-port");
  if (!std::filesystem::is_regular_file(options.plugin))
    throw UsageError("no plug-in library at " + options.plugin.string());
  if (options.script && *options.script != "-" &&
      (!std::filesystem::exists(*options.script) || std::filesystem::is_directory(*options.script)))
    throw UsageError("no script file " + options.script->string());
  return options;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::filesystem::path& default_plugin,
                                    std::string& error) {
  try {
    return Parse(args, default_plugin);
  } catch (const UsageError& e) {
    error = e.what();
    return std::nullopt;
  }
}

std::string HelpText() {
  std::string options;
  for (const Option& option : Table()) {
    std::string help(option.help);
    for (std::size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at))
      help.insert(++at, 25, ' ');
    const std::string usage = option.value.empty()
                                  ? std::string(option.names)
                                  : fmt::format("{} {}", option.names, option.value);
    options += fmt::format("  {:<23}{}\n", usage, help);
  }
  return R"(Usage: tamewarden-sim [OPTIONS] [SCRIPT]
       tamewarden-sim --cluster NAME,NAME[,...] [--private-db] [OPTIONS] [SCRIPT]
       tamewarden-sim --check [--strict] [--server-dir DIR] [FILE]

The stand-in game server: it loads the Tamewarden plug-in, runs the script's lines against
a world of players and creatures, and prints every event it observes.

)" + options +
         R"(
Exit status: 0 when every line ran; 1 when a line failed, the plug-in failed to load, an
exception escaped into the game or a signal cut a script short; 2 on bad options or a file
that cannot be read. With --check: 0 without errors, 1 with errors (with --strict, also with
warnings), 2 when FILE cannot be read or parsed.

Script lines (# starts a comment; names are unique per kind of thing):
)" + VerbOverview() +
         R"(When a script defines no player or creature before its first action, the default world
is set up first; the first action other than load, unload or start boots the server
(start, then load) unless load or start came first.
)";
}

}  // namespace sim::tool
