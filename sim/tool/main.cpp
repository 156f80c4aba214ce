// tamewarden-sim: the stand-in game server as a command-line tool. It loads the plug-in into a
// world described by a script, runs the script's lines on the game thread, prints every event
// it observes and, with --rcon-port, serves Source RCON until it is interrupted. With --check it
// checks a configuration instead.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "sim/server.h"
#include "sim/tool/cluster_run.h"
#include "sim/tool/config_checker.h"
#include "sim/tool/embedded.h"
#include "sim/tool/event_printer.h"
#include "sim/tool/game_loop.h"
#include "sim/tool/line_source.h"
#include "sim/tool/options.h"
#include "sim/tool/rcon_server.h"
#include "sim/tool/run_summary.h"
#include "sim/tool/script_runner.h"

namespace {

using namespace sim::tool;
namespace fs = std::filesystem;

fs::path FreshServerDir() {
  std::string pattern = (fs::temp_directory_path() / "tamewarden-sim-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a temporary directory");
  return pattern;
}

int Usage(const std::string& error) {
  std::cerr << "tamewarden-sim: " << error << "\nTry 'tamewarden-sim --help'.\n";
  return 2;
}

// Colour only for a person at a terminal who has not asked for none (NO_COLOR set and not empty).
bool WantColour() {
  const char* no_colour = std::getenv("NO_COLOR");
  return isatty(STDOUT_FILENO) && (no_colour == nullptr || *no_colour == '\0');
}

std::unique_ptr<LineSource> OpenScript(const Options& options, const ScriptRunner& runner,
                                       const std::string& config) {
  if (options.script && *options.script != "-") return TextLines(ReadFile(*options.script));
  if (isatty(STDIN_FILENO)) {
    return TerminalLines(
        STDIN_FILENO, isatty(STDOUT_FILENO) ? STDOUT_FILENO : STDERR_FILENO, "tw> ",
        [&runner](const std::vector<std::string>& words, std::string_view partial) {
          return runner.Candidates(words, partial);
        },
        PromptBanner(config));
  }
  return StreamLines(STDIN_FILENO);
}

// A temporary server directory goes when the run ends.
struct RemoveAtExit {
  fs::path dir;
  ~RemoveAtExit() {
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);
  }
};

// A file that cannot be read ends in main's report, exit status 2. The first line names the file
// checked, by its full path.
int Check(const Options& options) {
  const auto check = [&](std::string_view text, const std::string& name) {
    return CheckConfigText(text, name, std::cout, std::cerr, CheckConfig, options.strict);
  };
  if (options.script && *options.script == "-") {
    const std::string text(std::istreambuf_iterator<char>(std::cin), {});
    return check(text, "standard input");
  }
  if (options.script || options.server_dir) {
    const fs::path path =
        options.script ? *options.script : sim::Server::ConfigPathIn(*options.server_dir);
    // Parsed as the plug-in parses it: a file over the size cap is refused unread.
    const std::string name = fs::absolute(path).string();
    return CheckParsedConfig(ParseConfigFile(name), name, std::cout, std::cerr, CheckConfig,
                             options.strict);
  }
  return check(kDefaultConfig, "examples/config.json (built in)");
}

int Run(const Options& options) {
  const fs::path script_dir = options.script && *options.script != "-"
                                  ? fs::absolute(*options.script).parent_path()
                                  : fs::current_path();
  const bool temporary = !options.server_dir;
  const fs::path dir = fs::absolute(temporary ? FreshServerDir() : *options.server_dir);
  const RemoveAtExit remove{temporary ? dir : fs::path()};
  if (!options.json && temporary)
    std::fprintf(stderr, "tamewarden-sim: server directory %s\n", dir.c_str());

  // The printer and the input outlive the server, which reports to them until it is gone.
  EventPrinter printer(stdout, {options.json, options.verbose, !options.json && WantColour()});
  std::unique_ptr<LineSource> source;
  const auto print = [&](const auto& write) {
    if (source) source->BeforeOutput();
    write();
    if (source) source->AfterOutput();
  };
  int crashes = 0;
  const bool summary = options.summary.value_or(!options.json && isatty(STDOUT_FILENO));
  RunSummary refusals;
  sim::Server server(dir);
  if (temporary) std::ofstream(server.ConfigPath(), std::ios::binary) << kDefaultConfig;
  server.events().SetListener([&](const nlohmann::json& event) {
    if (sim::EventKindOf(event) == sim::EventKind::kCrash) ++crashes;
    refusals.Observe(event);
    print([&] { printer.Print(event); });
  });
  ScriptRunner runner(server, {fs::absolute(options.plugin), script_dir, kDefaultWorld});
  source = OpenScript(
      options, runner,
      server.ConfigPath().string() + (temporary ? " (examples/config.json, built in)" : ""));
  runner.OnSceneSet([&](const std::string& summary) { print([&] { printer.Note(summary); }); });

  std::unique_ptr<RconServer> rcon;
  if (options.rcon_port) {
    const RconSettings settings{.port = *options.rcon_port,
                                .password = options.rcon_password,
                                .auth_timeout = std::chrono::seconds(options.rcon_auth_timeout_s),
                                .ban_after = options.rcon_ban_after,
                                .ban_time = std::chrono::seconds(options.rcon_ban_seconds)};
    const auto run = [&](const std::string& text, int32_t id) {
      std::string answer = runner.RunRcon(text, id);
      server.events().Clear();  // printed already; a long-running server keeps none
      return answer;
    };
    const auto on_ban = [&](const RconBan& ban) {
      print([&] {
        if (ban.seconds > 0)
          std::fprintf(stderr, "tamewarden-sim: RCON: %s banned for %d s after %d failed logins\n",
                       ban.address.c_str(), ban.seconds, ban.failures);
        else
          std::fprintf(stderr, "tamewarden-sim: RCON: the ban of %s has ended\n",
                       ban.address.c_str());
      });
      server.events().Add(
          sim::EventKind::kRconBan,
          {{"address", ban.address}, {"failures", ban.failures}, {"seconds", ban.seconds}});
      server.events().Clear();
    };
    rcon = std::make_unique<RconServer>(settings, run, on_ban);
    std::string error;
    if (!rcon->Start(error)) return Usage(error);
    std::fprintf(stderr, "tamewarden-sim: RCON listening on 127.0.0.1:%u\n", rcon->port());
  }

  GameLoop loop(*source, rcon.get());
  for (int line = 1; auto text = loop.NextLine(); ++line) {
    // The set-up's lines are many and show nothing; the first action sums up the world instead.
    const Verb* verb = ScriptParser::VerbOf(*text);
    const bool setup = verb != nullptr && verb->kind == VerbKind::kWorld && !options.verbose;
    if (!source->typed() && WorthEchoing(*text) && !setup) printer.Echo(line, *text);
    runner.RunLine(*text, line, source->typed());
    server.events().Clear();
  }
  // A script stopped by a signal did not run every line; typed input may end either way.
  const bool cut_short = GameLoop::stopped() && !source->typed();
  if (rcon && !source->interrupted() && !GameLoop::stopped()) {
    std::fprintf(stderr, "tamewarden-sim: serving RCON until interrupted (Ctrl-C)\n");
    loop.ServeUntilStopped();
  }
  rcon.reset();
  if (summary) {
    // Tables for a person: on stdout in text, on stderr beside --json's events.
    ScriptContext names_from{server, {}};
    const nlohmann::json names = names_from.DisplayNames();
    const std::string tables =
        "\n" + refusals.Refusals(names) + "\n" + RunSummary::Counts(server, names);
    print([&] {
      std::fputs(tables.c_str(), options.json ? stderr : stdout);
      std::fflush(options.json ? stderr : stdout);
    });
  }
  server.UnloadPlugin();
  return runner.failed() || runner.load_failed() || crashes > 0 || cut_short ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == kMapModeArg) {
    try {
      return RunMapProcess(std::vector<std::string>(argv + 2, argv + argc));
    } catch (const std::exception& e) {
      std::cerr << "tamewarden-sim: " << e.what() << "\n";
      return 2;
    }
  }
  std::string error;
  const std::optional<Options> options =
      ParseOptions(std::vector<std::string>(argv + 1, argv + argc), TW_DEFAULT_PLUGIN, error);
  if (!options) return Usage(error);
  if (options->help) {
    std::cout << HelpText();
    return 0;
  }
  try {
    if (options->check) return Check(*options);
    GameLoop::CatchStopSignals();
    if (!options->cluster.empty()) return RunCluster(*options, std::string(kDefaultConfig));
    return Run(*options);
  } catch (const std::exception& e) {
    std::cerr << "tamewarden-sim: " << e.what() << "\n";
    return 2;
  }
}
