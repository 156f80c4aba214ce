// A cluster rehearsal: the tool starts one server process per map (itself, in its map mode),
// sends each script line to the maps it runs on and prints their events, each naming its map.
#include "sim/tool/cluster_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fmt/format.h>

#include "base/spelling.h"
#include "sim/server.h"
#include "sim/tool/cluster_config.h"
#include "sim/tool/embedded.h"
#include "sim/tool/event_printer.h"
#include "sim/tool/game_loop.h"
#include "sim/tool/line_source.h"
#include "sim/tool/private_mariadb.h"
#include "sim/tool/script_parser.h"
#include "sim/tool/script_runner.h"
#include "sim/tool/script_tokens.h"

extern char** environ;

namespace sim::tool {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

// Ends a map's answer to one message; no event or diagnostic line starts with this byte.
constexpr std::string_view kEndMark =
    "\x1e"
    "end";
constexpr int kSwitchSyncSeconds = 10;
// How long a map may take over a message beyond a sync's own time: a line is milliseconds of
// game work, a load or a recount of a large world a few seconds.
constexpr auto kMessageLimit = 60s;
// How long a map has to unload and exit once its input ends.
constexpr auto kExitGrace = 5s;
constexpr char kDatabase[] = "tamewarden";

// A set-up line (player, dino, item...), which shows nothing unless --verbose asks for it; one
// for a map ("@MAP dino ...") too.
bool SetUp(std::string_view line) {
  const auto first = line.find_first_not_of(" \t");
  if (first != std::string_view::npos && line[first] == '@') {
    const auto space = line.find_first_of(" \t", first);
    line = space == std::string_view::npos ? std::string_view() : line.substr(space);
  }
  const Verb* verb = ScriptParser::VerbOf(line);
  return verb != nullptr && verb->kind == VerbKind::kWorld;
}

timespec Timespec(Clock::duration left) {
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(Clock::duration::zero(), left))
          .count();
  return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// How a reaped process ended, as a clause.
std::string HowItEnded(int status) {
  if (WIFEXITED(status)) return fmt::format("it exited with status {}", WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return fmt::format("it was killed by signal {} ({})", WTERMSIG(status),
                       strsignal(WTERMSIG(status)));
  return "it ended";
}

// One map's server: the tool in its map mode, messages in on a pipe, events out on another.
class MapProcess {
 public:
  using Output = std::function<void(const std::string&)>;

  MapProcess(std::string name, const std::vector<std::string>& argv) : name_(std::move(name)) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    if (pipe2(out, O_CLOEXEC) != 0) {
      close(in[0]);
      close(in[1]);
      throw std::runtime_error("cannot make a pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // Its own process group and no blocked signal: a Ctrl-C reaches only this tool, which ends
    // the maps in order.
    posix_spawnattr_t attributes;
    InitOwnGroupAttributes(attributes);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const int error =
        posix_spawn(&pid_, "/proc/self/exe", &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
    if (error != 0) {
      pid_ = -1;
      Close();
      throw std::runtime_error("cannot start the server of map " + name_ + ": " +
                               std::strerror(error));
    }
  }
  ~MapProcess() { Stop(); }
  MapProcess(const MapProcess&) = delete;
  MapProcess& operator=(const MapProcess&) = delete;

  const std::string& name() const { return name_; }
  bool running() const { return pid_ > 0; }

  // Sends one message and hands every line of its answer to `out`, up to the end mark. Empty
  // when the map answered; else what became of it (it no longer runs), or "stopped" when a stop
  // signal came (it still runs).
  std::string Exchange(const std::string& message, const Output& out, Clock::duration limit) {
    if (!running()) return "the server of map " + name_ + " no longer runs";
    const std::string data = message + "\n";
    for (std::size_t at = 0; at < data.size();) {
      const ssize_t n = write(to_, data.data() + at, data.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return End("ended unexpectedly", false);
      at += static_cast<std::size_t>(n);
    }
    const auto deadline = Clock::now() + limit;
    for (;;) {
      for (std::size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
        const std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        if (line == kEndMark) return "";
        out(line);
      }
      if (Clock::now() >= deadline)
        return End(fmt::format("did not answer within {} s",
                               std::chrono::duration_cast<std::chrono::seconds>(limit).count()),
                   true);
      pollfd fd{from_, POLLIN, 0};
      const timespec timeout = Timespec(deadline - Clock::now());
      const int ready = ppoll(&fd, 1, &timeout, GameLoop::WaitMask());
      if (ready < 0 && errno == EINTR) {
        if (GameLoop::stopped()) return "stopped";
        continue;
      }
      if (ready < 0) return End("cannot be waited on", true);
      if (ready == 0) continue;
      char chunk[65536];
      const ssize_t n = read(from_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return End("ended unexpectedly", false);
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  // Ends its input, so that it unloads the plug-in and exits; kills it when it has not within
  // the grace time.
  void Stop() {
    if (!running()) return;
    close(to_);
    to_ = -1;
    Reap(Clock::now() + kExitGrace);
    Close();
  }

 private:
  // Waits until the process has ended or `deadline`, then kills it; how it ended.
  std::string Reap(Clock::time_point deadline) {
    int status = 0;
    for (;;) {
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_ || (done < 0 && errno != EINTR)) break;
      if (Clock::now() >= deadline) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        break;
      }
      std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
    return HowItEnded(status);
  }

  std::string End(const std::string& what, bool kill_now) {
    if (kill_now) kill(pid_, SIGKILL);
    const std::string how = Reap(Clock::now() + 2s);
    Close();
    return "the server of map " + name_ + " " + what + "; " + how;
  }

  void Close() {
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
    to_ = from_ = -1;
  }

  std::string name_;
  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
  std::string buffer_;
};

fs::path FreshDir() {
  std::string pattern = (fs::temp_directory_path() / "tamewarden-sim-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a temporary directory");
  return pattern;
}

struct RemoveAtExit {
  fs::path dir;
  ~RemoveAtExit() {
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);
  }
};

class ClusterRun {
 public:
  ClusterRun(const Options& options, const std::string& default_config)
      : options_(options),
        printer_(stdout, {options.json, options.verbose,
                          !options.json && isatty(STDOUT_FILENO) &&
                              (std::getenv("NO_COLOR") == nullptr || !*std::getenv("NO_COLOR"))}) {
    const bool temporary = !options.server_dir;
    base_ = fs::absolute(temporary ? FreshDir() : *options.server_dir);
    if (temporary) remove_.dir = base_;
    if (!options.json && temporary)
      std::fprintf(stderr, "tamewarden-sim: server directory %s\n", base_.c_str());
    script_dir_ = options.script && *options.script != "-"
                      ? fs::absolute(*options.script).parent_path()
                      : fs::current_path();

    // Every map starts from one config: the server directory's, else the shipped one.
    const fs::path first = sim::Server::ConfigPathIn(base_);
    const std::string text = fs::exists(first) ? ReadFile(first) : default_config;
    config_shown_ = (fs::exists(first) ? first.string() : "examples/config.json (built in)") +
                    " with each map's cluster keys, copied to " +
                    sim::Server::ConfigPathIn(base_ / "MAP").string();
    nlohmann::ordered_json config = nlohmann::ordered_json::parse(text, nullptr, false);
    if (config.is_discarded() || !config.is_object())
      throw std::runtime_error("the config " + (fs::exists(first) ? first.string() : "built in") +
                               " is no JSON object");
    const auto section = config.find("Cluster");
    const bool has_section = section != config.end() && section->is_object();
    ClusterKeys keys;
    if (has_section) keys.fallback = *section;
    if (options.private_db || !has_section) {
      if (!options.json) std::fprintf(stderr, "tamewarden-sim: starting a private MariaDB\n");
      db_ = std::make_unique<PrivateMariaDb>();
      db_->CreateDatabase(kDatabase);
      keys.forced["MysqlSocket"] = db_->socket();
      keys.forced["MysqlUser"] = PrivateMariaDb::kUser;
      keys.forced["MysqlPass"] = PrivateMariaDb::kPassword;
      keys.forced["MysqlDB"] = kDatabase;
      keys.defaults["ClusterName"] = "rehearsal";
    }
    for (const std::string& name : options.cluster) {
      ClusterKeys mine = keys;
      mine.forced["ServerName"] = name;
      const fs::path dir = base_ / name;
      const fs::path path = sim::Server::ConfigPathIn(dir);
      fs::create_directories(path.parent_path());
      nlohmann::ordered_json doc = config;
      ApplyClusterKeys(doc, mine);
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out << doc.dump(2) << "\n";
      if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
      maps_.push_back(std::make_unique<MapProcess>(
          name,
          std::vector<std::string>{"tamewarden-sim", kMapModeArg, name, dir.string(),
                                   fs::absolute(options.plugin).string(), script_dir_.string(),
                                   options.verbose ? "verbose" : "quiet"}));
      Send(*maps_.back(), "K " + mine.ToJson().dump(), 0, kMessageLimit);
    }
  }

  int Run() {
    source_ = OpenScript();
    GameLoop loop(*source_, nullptr);
    for (int line = 1; auto text = loop.NextLine(); ++line) {
      if (!source_->typed() && WorthEchoing(*text) && (options_.verbose || !SetUp(*text)))
        Print([&] { printer_.Echo(line, *text); });
      RunLine(*text, line);
      if (GameLoop::stopped()) break;
    }
    const bool cut_short = GameLoop::stopped() && !source_->typed();
    if (!GameLoop::stopped()) {
      for (const auto& map : maps_)
        if (map->running()) Send(*map, "U", 0, kMessageLimit);
    }
    maps_.clear();
    return failed_ || cut_short ? 1 : 0;
  }

 private:
  template <typename Write>
  void Print(const Write& write) {
    if (source_) source_->BeforeOutput();
    write();
    if (source_) source_->AfterOutput();
  }

  // A line typed at the prompt has no place in a file: its errors carry no line number.
  bool Typed() const { return source_ != nullptr && source_->typed(); }

  void Report(int line, const std::string& text, const std::string& map = "") {
    failed_ = true;
    json event = {{"event", "error"}, {"line", Typed() ? 0 : line}, {"text", text}};
    if (!map.empty()) event["map"] = map;
    Print([&] { printer_.Print(event); });
  }

  // A line a map printed: an event, which gets the map's name, or a diagnostic line as it is.
  void Relay(const MapProcess& map, const std::string& out) {
    json event = out.starts_with('{') ? json::parse(out, nullptr, false) : json();
    if (!event.is_object()) {
      Print([&] {
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
      });
      return;
    }
    event["map"] = map.name();
    const auto kind = EventKindOf(event);
    if (kind == EventKind::kError || kind == EventKind::kCrash ||
        (kind == EventKind::kLoad && !event.value("ok", false)))
      failed_ = true;
    if (kind == EventKind::kError && Typed()) event["line"] = 0;
    Print([&] { printer_.Print(event); });
  }

  // One message to a map; a map that ends or does not answer is reported on `line`.
  bool Send(MapProcess& map, const std::string& message, int line, Clock::duration limit) {
    const std::string what = map.Exchange(
        message, [&](const std::string& out) { Relay(map, out); }, limit);
    if (what.empty()) return true;
    if (!GameLoop::stopped()) Report(line, what, map.name());
    return false;
  }

  MapProcess* FindMap(std::string_view name) {
    for (const auto& map : maps_)
      if (map->name() == name) return map.get();
    return nullptr;
  }

  std::unique_ptr<LineSource> OpenScript() {
    if (options_.script && *options_.script != "-") return TextLines(ReadFile(*options_.script));
    if (isatty(STDIN_FILENO)) {
      return TerminalLines(
          STDIN_FILENO, isatty(STDOUT_FILENO) ? STDOUT_FILENO : STDERR_FILENO, "tw> ",
          [this](const std::vector<std::string>& words, std::string_view partial) {
            return completion_.Candidates(words, partial);
          },
          PromptBanner(config_shown_));
    }
    return StreamLines(STDIN_FILENO);
  }

  // Each map syncs (S), or waits until it has found the database gone (O).
  void Sync(const std::vector<MapProcess*>& maps, int line, char what = 'S') {
    for (MapProcess* map : maps) {
      if (map->running())
        Send(*map, fmt::format("{} {} {}", what, line, kSwitchSyncSeconds), line,
             kMessageLimit + std::chrono::seconds(kSwitchSyncSeconds));
    }
  }

  std::vector<MapProcess*> AllMaps() const {
    std::vector<MapProcess*> all;
    for (const auto& map : maps_) all.push_back(map.get());
    return all;
  }

  void Database(std::string_view verb, int line) {
    if (!db_) {
      Report(line, std::string(verb) +
                       " needs the private database: run with --private-db, or with a config "
                       "without \"Cluster\"");
      return;
    }
    if (verb == "db_stop") {
      if (db_down_) return Report(line, "the database is stopped already");
      db_->Stop();
      db_down_ = true;
      Sync(AllMaps(), line, 'O');
      return;
    }
    if (!db_down_) return Report(line, "the database runs already");
    try {
      db_->Start();
    } catch (const std::exception& e) {
      return Report(line, std::string("the database did not start: ") + e.what());
    }
    db_down_ = false;
    // Twice: first every map writes what it kept during the outage, then each reads the others'.
    Sync(AllMaps(), line);
    Sync(AllMaps(), line);
  }

  void RunLine(const std::string& text, int line) {
    std::string error;
    const std::vector<Token> tokens = Tokenize(text, error);
    if (!error.empty()) return Report(line, error);
    if (tokens.empty()) return;
    std::string word = Unquote(tokens[0].raw);
    std::string body = text;
    std::vector<MapProcess*> targets;
    if (word.starts_with('@')) {
      const std::string name = word.substr(1);
      MapProcess* map = FindMap(name);
      if (map == nullptr) {
        std::vector<std::string> names;
        for (const auto& m : maps_) names.push_back(m->name());
        const std::string nearest = NearestName(name, names);
        return Report(line, "no map \"" + name + "\"" +
                                (nearest.empty() ? "" : "; did you mean @" + nearest + "?"));
      }
      if (tokens.size() < 2) return Report(line, "missing LINE; usage: @MAP LINE");
      body = tokens[1].rest;
      word = Unquote(tokens[1].raw);
      if (word.starts_with('@')) return Report(line, "one @MAP per line");
      if (word == "db_stop" || word == "db_start")
        return Report(line, word +
                                " stops or starts the database of every map: write it "
                                "without @MAP");
      if (!map->running()) return Report(line, "the server of map " + name + " no longer runs");
      targets = {map};
    } else {
      if (word == "db_stop" || word == "db_start") return Database(word, line);
      const Verb* verb = FindVerb(word);
      if (verb != nullptr && verb->makes && *verb->makes != Thing::kPlayer)
        return Report(line, "a " + word +
                                " line makes a thing of one map: begin it with @MAP, such as @" +
                                maps_.front()->name() + " " + text.substr(text.find(word)));
      for (const auto& map : maps_) {
        if (!map->running()) continue;
        targets.push_back(map.get());
        if (word == "help") break;  // the same on every map
      }
    }
    if (targets.empty()) return;
    // The maps the line leaves write what changed, the maps it comes to read it.
    if (!previous_.empty() && previous_ != targets && !db_down_) {
      std::vector<MapProcess*> involved = previous_;
      for (MapProcess* map : targets)
        if (std::ranges::find(involved, map) == involved.end()) involved.push_back(map);
      Sync(involved, line);
    }
    // A sync line may take its SECONDS on top of the line's own time.
    Clock::duration limit = kMessageLimit;
    if (word == "sync") {
      const std::vector<Token> words = Tokenize(body, error);
      int32_t seconds = kSwitchSyncSeconds;
      if (words.size() > 1) ParseInt(Unquote(words[1].raw), seconds);
      limit += std::chrono::seconds(std::max(seconds, 0));
    }
    for (MapProcess* map : targets) {
      if (GameLoop::stopped()) return;
      Send(*map, fmt::format("L {} {}", line, body), line, limit);
    }
    previous_ = targets;
  }

  const Options& options_;
  RemoveAtExit remove_;  // destroyed last: the maps and the database live in it
  fs::path base_;
  fs::path script_dir_;
  std::string config_shown_;  // the config, as the prompt's banner names it
  EventPrinter printer_;
  ScriptParser completion_;
  std::unique_ptr<PrivateMariaDb> db_;
  bool db_down_ = false;
  std::vector<std::unique_ptr<MapProcess>> maps_;
  std::vector<MapProcess*> previous_;  // the maps the last line ran on
  std::unique_ptr<LineSource> source_;
  bool failed_ = false;
};

}  // namespace

int RunMapProcess(const std::vector<std::string>& args) {
  if (args.size() != 5) {
    std::fprintf(stderr, "tamewarden-sim: %s is started by --cluster only\n", kMapModeArg);
    return 2;
  }
  // The driving tool ends a map by ending its input; a Ctrl-C is the tool's to handle.
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  EventPrinter printer(stdout, {true, args[4] == "verbose", false});
  sim::Server server(args[1]);
  server.events().SetListener([&](const json& event) { printer.Print(event); });
  ScriptRunner runner(server, {args[2], args[3], kDefaultWorld});
  for (std::string message; std::getline(std::cin, message);) {
    // "X LINE REST" for L and S; K takes the rest as JSON, U nothing.
    const std::vector<std::string> words = Split(message, ' ');
    int32_t line = 0;
    if (words.size() > 1) ParseInt(words[1], line);
    const std::size_t rest_at = message.find(' ', std::min(message.size(), std::size_t{2}));
    const std::string rest = rest_at == std::string::npos ? "" : message.substr(rest_at + 1);
    if (message.starts_with("K ")) {
      runner.SetClusterKeys(ClusterKeys::FromJson(json::parse(message.substr(2), nullptr, false)));
    } else if (message == "U") {
      server.UnloadPlugin();
    } else if (message.starts_with("L ")) {
      runner.RunLine(rest, line);
    } else if (message.starts_with("S ") || message.starts_with("O ")) {
      int32_t seconds = kSwitchSyncSeconds;
      ParseInt(rest, seconds);
      runner.SyncQuietly(seconds, line, message.starts_with("O "));
    }
    server.events().Clear();
    std::cout.flush();
    std::fflush(stdout);
    std::fwrite(kEndMark.data(), 1, kEndMark.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  server.UnloadPlugin();
  return 0;
}

int RunCluster(const Options& options, const std::string& default_config) {
  ClusterRun run(options, default_config);
  return run.Run();
}

}  // namespace sim::tool
