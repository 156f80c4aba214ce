// tamewarden-sim: the stand-in game server as a command-line tool. It loads the plug-in into a
// world described by a script, runs the script's lines on the game thread, prints every event
// it observes and, with --rcon-port, serves Source RCON until it is interrupted.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "sim/server.h"
#include "sim/tool/embedded.h"
#include "sim/tool/event_printer.h"
#include "sim/tool/game_queue.h"
#include "sim/tool/line_source.h"
#include "sim/tool/options.h"
#include "sim/tool/rcon_server.h"
#include "sim/tool/script_runner.h"

namespace {

using namespace sim::tool;
namespace fs = std::filesystem;

volatile std::sig_atomic_t stop_signal = 0;

extern "C" void OnStopSignal(int) { stop_signal = 1; }

// SIGINT and SIGTERM end the server cleanly; they interrupt blocking calls rather than
// restarting them, so waits notice at once.
void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

fs::path FreshServerDir() {
  std::string pattern = (fs::temp_directory_path() / "tamewarden-sim-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a temporary directory");
  return pattern;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Shows a line about to run, unless it is blank or only a comment.
bool WorthEchoing(const std::string& line) {
  const auto first = line.find_first_not_of(" \t\r");
  return first != std::string::npos && line[first] != '#';
}

int Usage(const std::string& error) {
  std::cerr << "tamewarden-sim: " << error << "\nTry 'tamewarden-sim --help'.\n";
  return 2;
}

std::unique_ptr<LineSource> OpenScript(const Options& options) {
  if (options.script && *options.script != "-") return TextLines(ReadFile(*options.script));
  if (isatty(STDIN_FILENO)) {
    return TerminalLines(STDIN_FILENO, isatty(STDOUT_FILENO) ? STDOUT_FILENO : STDERR_FILENO,
                         "tw> ");
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

int Run(const Options& options) {
  std::unique_ptr<LineSource> source = OpenScript(options);
  const fs::path script_dir = options.script && *options.script != "-"
                                  ? fs::absolute(*options.script).parent_path()
                                  : fs::current_path();
  const bool temporary = !options.server_dir;
  const fs::path dir = fs::absolute(temporary ? FreshServerDir() : *options.server_dir);
  const RemoveAtExit remove{temporary ? dir : fs::path()};
  if (!options.json && temporary)
    std::fprintf(stderr, "tamewarden-sim: server directory %s\n", dir.c_str());

  EventPrinter printer(stdout, options.json);  // outlives the server, which reports to it
  int crashes = 0;
  sim::Server server(dir);
  if (temporary) std::ofstream(server.ConfigPath(), std::ios::binary) << kDefaultConfig;
  server.events().SetListener([&](const nlohmann::json& event) {
    if (event.value("event", std::string()) == "crash") ++crashes;
    printer.Print(event);
  });
  ScriptRunner runner(server, {fs::absolute(options.plugin), script_dir, kDefaultWorld});

  GameQueue queue;
  std::unique_ptr<RconServer> rcon;  // declared after the queue it hands commands to
  if (options.rcon_port) {
    rcon = std::make_unique<RconServer>(
        RconSettings{*options.rcon_port, options.rcon_password,
                     std::chrono::seconds(options.rcon_auth_timeout_s)},
        queue);
    std::string error;
    if (!rcon->Start(error)) return Usage(error);
    std::fprintf(stderr, "tamewarden-sim: RCON listening on 127.0.0.1:%u\n", rcon->port());
  }
  const auto serve = [&] {
    queue.Serve([&](const std::string& text, int32_t id) {
      std::string answer = runner.RunRcon(text, id);
      server.events().Clear();  // printed already; a long-running server keeps none
      return answer;
    });
  };
  const Idle idle{[&] { return queue.HasWork(); }, serve, [] { return stop_signal != 0; }};

  for (int line = 1; auto text = source->Next(idle); ++line) {
    if (!source->typed() && WorthEchoing(*text)) printer.Echo(line, *text);
    runner.RunLine(*text, line);
    server.events().Clear();
    serve();
  }
  // A script stopped by a signal did not run every line; typed input may end either way.
  const bool cut_short = stop_signal != 0 && !source->typed();
  if (rcon && !source->interrupted()) {
    std::fprintf(stderr, "tamewarden-sim: serving RCON until interrupted (Ctrl-C)\n");
    while (stop_signal == 0) {
      queue.Wait(std::chrono::milliseconds(200));
      serve();
    }
  }
  queue.Close();
  if (rcon) rcon->Stop();
  server.UnloadPlugin();
  return runner.failed() || crashes > 0 || cut_short ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<Options> options =
      ParseOptions(std::vector<std::string>(argv + 1, argv + argc), TW_DEFAULT_PLUGIN, error);
  if (!options) return Usage(error);
  if (options->help) {
    std::cout << HelpText();
    return 0;
  }
  CatchStopSignals();
  try {
    return Run(*options);
  } catch (const std::exception& e) {
    std::cerr << "tamewarden-sim: " << e.what() << "\n";
    return 2;
  }
}
