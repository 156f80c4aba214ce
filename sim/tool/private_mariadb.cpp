#include "sim/tool/private_mariadb.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

void InitOwnGroupAttributes(posix_spawnattr_t& attributes) {
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

namespace {

using namespace std::chrono_literals;

std::string CurrentUser() {
  const char* user = std::getenv("USER");
  if (user != nullptr && *user != '\0') return user;
  return getuid() == 0 ? "root" : std::to_string(getuid());
}

// Starts `argv` with its output appended to `log`, in a process group of its own; returns its
// pid.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& log) {
  posix_spawnattr_t attributes;
  InitOwnGroupAttributes(attributes);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) throw std::runtime_error(argv[0] + ": " + std::strerror(error));
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `argv` to its end; throws with the end of `log` when it fails.
void Run(const std::vector<std::string>& argv, const std::string& log) {
  if (Wait(Spawn(argv, log)) == 0) return;
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  throw std::runtime_error(argv[0] +
                           " failed: " + all.substr(all.size() > 2000 ? all.size() - 2000 : 0));
}

std::string Quoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') quoted += c;
    quoted += c;
  }
  return quoted + "'";
}

}  // namespace

PrivateMariaDb::PrivateMariaDb() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tw-mariadb-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  directory_ = pattern;
  socket_ = directory_ + "/sock";
  try {
    // A temporary directory of its own: servers made at the same time share no file names.
    std::filesystem::create_directory(directory_ + "/tmp");
    Run({"mariadb-install-db", "--no-defaults", "--datadir=" + directory_ + "/data",
         "--tmpdir=" + directory_ + "/tmp", "--auth-root-authentication-method=normal",
         "--skip-test-db", "--user=" + CurrentUser()},
        directory_ + "/install.log");
    Start();
  } catch (...) {
    Stop(true);
    std::filesystem::remove_all(directory_);
    throw;
  }
}

PrivateMariaDb::~PrivateMariaDb() {
  try {
    Stop();
  } catch (...) {
    Stop(true);
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void PrivateMariaDb::Start() {
  if (running()) return;
  pid_ = Spawn({"mariadbd", "--no-defaults", "--datadir=" + directory_ + "/data",
                "--socket=" + socket_, "--tmpdir=" + directory_ + "/tmp", "--skip-networking",
                "--user=" + CurrentUser(), "--pid-file=" + directory_ + "/pid",
                "--log-error=" + directory_ + "/err.log", "--innodb-buffer-pool-size=16M"},
               directory_ + "/server.log");
  WaitUntilReady();
}

void PrivateMariaDb::WaitUntilReady() {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("the private MariaDB server ended at its start: " + ErrorLogTail());
    }
    // The server makes its socket once it takes connections.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_.c_str(), sizeof address.sun_path - 1);
    const bool ready = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (ready) return;
    std::this_thread::sleep_for(20ms);
  }
  Stop(true);
  throw std::runtime_error("the private MariaDB server did not start within 30 s: " +
                           ErrorLogTail());
}

void PrivateMariaDb::Stop(bool kill) {
  if (!running()) return;
  const pid_t pid = std::exchange(pid_, -1);
  if (kill) {
    ::kill(pid, SIGKILL);
  } else if (Wait(Spawn({"mariadb-admin", "--no-defaults", "-S", socket_, "-uroot", "shutdown"},
                        directory_ + "/admin.log")) != 0) {
    ::kill(pid, SIGKILL);
  }
  Wait(pid);
}

void PrivateMariaDb::RootSql(std::string_view sql) {
  if (!running()) throw std::runtime_error("the private MariaDB server is stopped");
  Run({"mariadb", "--no-defaults", "-S", socket_, "-uroot", "-e", std::string(sql)},
      directory_ + "/client.log");
}

void PrivateMariaDb::CreateDatabase(std::string_view name) {
  const std::string user = Quoted(kUser) + "@'localhost'";
  const std::string database = "`" + std::string(name) + "`";
  // The privileges the README's "Cluster database" lists, and no more.
  RootSql("DROP DATABASE IF EXISTS " + database + "; CREATE DATABASE " + database +
          "; CREATE USER IF NOT EXISTS " + user + " IDENTIFIED BY " + Quoted(kPassword) +
          "; GRANT CREATE, SELECT, INSERT, UPDATE, DELETE ON " + database + ".* TO " + user);
}

std::string PrivateMariaDb::ErrorLogTail() const {
  std::ifstream in(directory_ + "/err.log");
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  return all.substr(all.size() > 2000 ? all.size() - 2000 : 0);
}
