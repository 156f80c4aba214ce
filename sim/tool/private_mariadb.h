#pragma once

#include <spawn.h>
#include <sys/types.h>
#include <string>
#include <string_view>

// Attributes for posix_spawn of a helper process (the server, a map of a rehearsal): a process
// group of its own and no signal blocked or ignored, so that a Ctrl-C at the terminal reaches
// only the program that started it, which then shuts it down in order. Destroy them after use.
void InitOwnGroupAttributes(posix_spawnattr_t& attributes);

// A MariaDB server of its own for a test run: a data directory in a new temporary directory,
// the server listening on a unix socket there only (no network), run as the current user. Made
// by the constructor (about 1-4 s), stopped and removed by the destructor. Root connects on the
// socket without a password; the plug-in's user has only the privileges the README lists, on the
// databases made through CreateDatabase.
class PrivateMariaDb {
 public:
  static constexpr std::string_view kUser = "tamewarden";
  static constexpr std::string_view kPassword = "Pw-3x7;q'uote";

  // Throws std::runtime_error (with the end of the server's error log) when it cannot start.
  PrivateMariaDb();
  ~PrivateMariaDb();
  PrivateMariaDb(const PrivateMariaDb&) = delete;
  PrivateMariaDb& operator=(const PrivateMariaDb&) = delete;

  // Makes database `name` (dropping one of that name first) and gives the user its privileges
  // there.
  void CreateDatabase(std::string_view name);
  // Runs SQL as root, through the command-line client; throws when it fails.
  void RootSql(std::string_view sql);

  // An outage: Stop shuts the server down (or, `kill`, ends it at once) and waits for it; Start
  // starts it again on the same data and waits until it takes connections.
  void Stop(bool kill = false);
  void Start();
  bool running() const { return pid_ > 0; }

  const std::string& socket() const { return socket_; }
  const std::string& directory() const { return directory_; }

 private:
  std::string ErrorLogTail() const;
  void WaitUntilReady();

  std::string directory_;
  std::string socket_;
  pid_t pid_ = -1;
};
