#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

// One connection to the cluster's MySQL-protocol database, through the client library. A
// connection belongs to one thread (the cluster worker): nothing here locks. Every statement is
// prepared and takes its values through bound parameters, never through the statement's text.

struct st_mysql;
struct st_mysql_stmt;

namespace cluster {

// Where and as whom to connect.
struct ConnectionParams {
  std::string host = "127.0.0.1";
  unsigned port = 3306;
  std::string socket;  // a unix socket path; used instead of host and port when not empty
  std::string user;
  std::string password;
  std::string database;
  // Each wait of the client library on the server ends after these, so that a server that
  // accepts and never answers cannot hold the worker.
  std::chrono::seconds connect_timeout{3};
  std::chrono::seconds read_timeout{3};
  std::chrono::seconds write_timeout{3};
};

// A failure of the database or of its use. Its text never holds the password: every text made
// from a connection's errors has the password taken out.
class DatabaseError : public std::runtime_error {
 public:
  explicit DatabaseError(const std::string& text, unsigned code = 0)
      : std::runtime_error(text), code_(code) {}
  // The server's or the client library's error number, 0 for one of this layer's own.
  unsigned code() const { return code_; }
  // Whether the connection is gone or unusable (reconnecting may help), as opposed to a refusal
  // of a statement by a working server.
  bool connection_lost() const;

 private:
  unsigned code_;
};

// Prepares the client library for use; once per process, from any thread, any number of times.
void InitClientLibrary();

// Each thread that uses a connection holds one of these for as long as it does: it sets up and
// releases the client library's per-thread state. Calls InitClientLibrary.
class ClientThreadScope {
 public:
  ClientThreadScope();
  ~ClientThreadScope();
  ClientThreadScope(const ClientThreadScope&) = delete;
  ClientThreadScope& operator=(const ClientThreadScope&) = delete;
};

// A value bound to a statement's `?`.
using Param = std::variant<std::nullptr_t, int64_t, std::string_view>;

// One row of a result: integer columns as numbers, every other column as bytes.
class Row {
 public:
  int64_t Int(std::size_t column) const;
  std::string_view Text(std::size_t column) const;
  bool IsNull(std::size_t column) const;
  std::size_t size() const { return values_.size(); }

 private:
  friend class Database;
  std::vector<std::variant<std::nullptr_t, int64_t, std::string>> values_;
};

// Lets another thread end a connection's wait on the server at once (say, at unload): the
// statement under way and every later one fail as a lost connection. May outlive the connection.
// A connect under way is not interrupted: it ends within its own timeouts.
class Interrupter {
 public:
  void Interrupt();

 private:
  friend class Database;
  std::mutex mutex_;
  int socket_ = -1;  // the connection's, while it is open
};

class Database {
 public:
  // Connects, or throws DatabaseError. Calls InitClientLibrary; the calling thread must hold a
  // ClientThreadScope.
  explicit Database(const ConnectionParams& params);
  ~Database();
  Database(Database&&) noexcept;
  Database& operator=(Database&&) noexcept;

  // Runs a statement that returns no rows; returns the rows it changed (for an upsert, as the
  // server counts them: 1 per insert, 2 per changed row, 0 per row left as it was).
  uint64_t Execute(std::string_view sql, std::initializer_list<Param> params = {});
  uint64_t Execute(std::string_view sql, const std::vector<Param>& params);
  // Runs a statement that returns rows, and returns them all.
  std::vector<Row> Query(std::string_view sql, std::initializer_list<Param> params = {});
  std::vector<Row> Query(std::string_view sql, const std::vector<Param>& params);

  // Transactions, through the client library's own calls.
  void Begin();
  void Commit();
  void Rollback() noexcept;

  // For another thread; see Interrupter.
  std::shared_ptr<Interrupter> interrupter() const { return interrupter_; }

  // Statements run since the connection was made, for tests and measurements.
  uint64_t statements_run() const { return statements_run_; }

 private:
  struct StatementDeleter {
    void operator()(st_mysql_stmt* statement) const;
  };
  using Statement = std::unique_ptr<st_mysql_stmt, StatementDeleter>;

  st_mysql_stmt* Prepared(std::string_view sql);
  st_mysql_stmt* Run(std::string_view sql, const Param* params, std::size_t count);
  std::vector<Row> Fetch(st_mysql_stmt* statement);
  [[noreturn]] void Fail(std::string_view what, st_mysql_stmt* statement = nullptr);
  void Close() noexcept;

  st_mysql* mysql_ = nullptr;
  std::string password_;  // only to take it out of error texts
  std::unordered_map<std::string, Statement> statements_;
  uint64_t statements_run_ = 0;
  std::shared_ptr<Interrupter> interrupter_ = std::make_shared<Interrupter>();
};

// `text` with every occurrence of `secret` replaced by "***" (nothing for an empty secret).
std::string WithoutSecret(std::string text, std::string_view secret);

}  // namespace cluster
