#include "cluster/database.h"

#include <dlfcn.h>

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <sys/socket.h>

#include <cstring>
#include <mutex>
#include <utility>

namespace cluster {

bool DatabaseError::connection_lost() const {
  // The client library's own errors (2000-2999) say the connection failed or broke; the server
  // ends a connection with these.
  return (code_ >= 2000 && code_ < 3000) || code_ == ER_SERVER_SHUTDOWN ||
         code_ == ER_CONNECTION_KILLED || code_ == ER_NET_READ_ERROR ||
         code_ == ER_NET_READ_INTERRUPTED || code_ == ER_NET_ERROR_ON_WRITE ||
         code_ == ER_NET_WRITE_INTERRUPTED;
}

std::string WithoutSecret(std::string text, std::string_view secret) {
  if (secret.empty()) return text;
  for (std::size_t at = text.find(secret); at != std::string::npos;
       at = text.find(secret, at + 3)) {
    text.replace(at, secret.size(), "***");
  }
  return text;
}

void InitClientLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (mysql_library_init(0, nullptr, nullptr) != 0) {
      throw DatabaseError("the database client library could not be initialised");
    }
    // The client library keeps process-wide state from its first initialisation on, which it
    // never frees (other libraries of the server may use it too): it stays loaded after this
    // plug-in is unloaded, instead of going with it and being set up anew at the next load.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&mysql_init), &info) != 0 && info.dli_fname != nullptr)
      dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  });
}

ClientThreadScope::ClientThreadScope() {
  InitClientLibrary();
  mysql_thread_init();
}

ClientThreadScope::~ClientThreadScope() { mysql_thread_end(); }

int64_t Row::Int(std::size_t column) const {
  const auto& value = values_.at(column);
  if (const auto* number = std::get_if<int64_t>(&value)) return *number;
  throw DatabaseError("column " + std::to_string(column) + " holds no integer");
}

std::string_view Row::Text(std::size_t column) const {
  const auto& value = values_.at(column);
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  throw DatabaseError("column " + std::to_string(column) + " holds no text");
}

bool Row::IsNull(std::size_t column) const {
  return std::holds_alternative<std::nullptr_t>(values_.at(column));
}

void Database::StatementDeleter::operator()(st_mysql_stmt* statement) const {
  mysql_stmt_close(statement);
}

Database::Database(const ConnectionParams& params) : password_(params.password) {
  InitClientLibrary();
  mysql_ = mysql_init(nullptr);
  if (mysql_ == nullptr) throw DatabaseError("out of memory for a database connection");
  const unsigned connect_timeout = static_cast<unsigned>(params.connect_timeout.count());
  const unsigned read_timeout = static_cast<unsigned>(params.read_timeout.count());
  const unsigned write_timeout = static_cast<unsigned>(params.write_timeout.count());
  const my_bool no = 0;
  mysql_options(mysql_, MYSQL_OPT_CONNECT_TIMEOUT, &connect_timeout);
  mysql_options(mysql_, MYSQL_OPT_READ_TIMEOUT, &read_timeout);
  mysql_options(mysql_, MYSQL_OPT_WRITE_TIMEOUT, &write_timeout);
  mysql_options(mysql_, MYSQL_OPT_RECONNECT, &no);  // a lost connection is the worker's to handle
  mysql_options(mysql_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  const bool by_socket = !params.socket.empty();
  if (mysql_real_connect(mysql_, by_socket ? nullptr : params.host.c_str(), params.user.c_str(),
                         params.password.c_str(), params.database.c_str(),
                         by_socket ? 0 : params.port, by_socket ? params.socket.c_str() : nullptr,
                         0) == nullptr) {
    const unsigned code = mysql_errno(mysql_);
    std::string text = WithoutSecret(mysql_error(mysql_), password_);
    Close();
    throw DatabaseError("cannot connect: " + text, code);
  }
  std::lock_guard lock(interrupter_->mutex_);
  interrupter_->socket_ = static_cast<int>(mysql_get_socket(mysql_));
}

void Interrupter::Interrupt() {
  // Shutting the socket down wakes a read or write blocked on it; the descriptor itself stays
  // the connection's to close, so it cannot be reused under this call.
  std::lock_guard lock(mutex_);
  if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
}

Database::~Database() { Close(); }

Database::Database(Database&& other) noexcept { *this = std::move(other); }

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    Close();
    mysql_ = std::exchange(other.mysql_, nullptr);
    password_ = std::move(other.password_);
    statements_ = std::move(other.statements_);
    statements_run_ = other.statements_run_;
    interrupter_ = std::exchange(other.interrupter_, std::make_shared<Interrupter>());
  }
  return *this;
}

void Database::Close() noexcept {
  statements_.clear();  // the statements go before their connection
  if (interrupter_) {
    std::lock_guard lock(interrupter_->mutex_);
    interrupter_->socket_ = -1;
  }
  if (mysql_ != nullptr) mysql_close(std::exchange(mysql_, nullptr));
}

void Database::Fail(std::string_view what, st_mysql_stmt* statement) {
  unsigned code = 0;
  std::string text = "no connection";
  if (statement != nullptr) {
    code = mysql_stmt_errno(statement);
    text = mysql_stmt_error(statement);
  } else if (mysql_ != nullptr) {
    code = mysql_errno(mysql_);
    text = mysql_error(mysql_);
  }
  throw DatabaseError(WithoutSecret(std::string(what) + ": " + text, password_), code);
}

st_mysql_stmt* Database::Prepared(std::string_view sql) {
  if (mysql_ == nullptr) Fail("prepare");
  std::string key(sql);
  if (const auto it = statements_.find(key); it != statements_.end()) return it->second.get();
  Statement statement(mysql_stmt_init(mysql_));
  if (!statement) Fail("prepare");
  if (mysql_stmt_prepare(statement.get(), sql.data(), sql.size()) != 0) {
    Fail("prepare", statement.get());
  }
  return statements_.emplace(std::move(key), std::move(statement)).first->second.get();
}

st_mysql_stmt* Database::Run(std::string_view sql, const Param* params, std::size_t count) {
  st_mysql_stmt* statement = Prepared(sql);
  if (mysql_stmt_param_count(statement) != count) {
    throw DatabaseError("a statement was given " + std::to_string(count) + " values for " +
                        std::to_string(mysql_stmt_param_count(statement)) + " parameters");
  }
  std::vector<MYSQL_BIND> binds(count);
  std::vector<unsigned long> lengths(count);
  for (std::size_t i = 0; i < count; ++i) {
    MYSQL_BIND& bind = binds[i];
    std::memset(&bind, 0, sizeof bind);
    if (const auto* number = std::get_if<int64_t>(&params[i])) {
      bind.buffer_type = MYSQL_TYPE_LONGLONG;
      bind.buffer = const_cast<int64_t*>(number);
    } else if (const auto* text = std::get_if<std::string_view>(&params[i])) {
      bind.buffer_type = MYSQL_TYPE_STRING;
      bind.buffer = const_cast<char*>(text->data());
      lengths[i] = text->size();
      bind.buffer_length = text->size();
      bind.length = &lengths[i];
    } else {
      bind.buffer_type = MYSQL_TYPE_NULL;
    }
  }
  if (count > 0 && mysql_stmt_bind_param(statement, binds.data()) != 0) {
    Fail("bind", statement);
  }
  ++statements_run_;
  if (mysql_stmt_execute(statement) != 0) Fail("execute", statement);
  return statement;
}

uint64_t Database::Execute(std::string_view sql, std::initializer_list<Param> params) {
  return mysql_stmt_affected_rows(Run(sql, params.begin(), params.size()));
}

uint64_t Database::Execute(std::string_view sql, const std::vector<Param>& params) {
  return mysql_stmt_affected_rows(Run(sql, params.data(), params.size()));
}

std::vector<Row> Database::Query(std::string_view sql, std::initializer_list<Param> params) {
  return Fetch(Run(sql, params.begin(), params.size()));
}

std::vector<Row> Database::Query(std::string_view sql, const std::vector<Param>& params) {
  return Fetch(Run(sql, params.data(), params.size()));
}

std::vector<Row> Database::Fetch(st_mysql_stmt* statement) {
  std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> meta(
      mysql_stmt_result_metadata(statement), &mysql_free_result);
  if (!meta) throw DatabaseError("a query returned no result");
  // The whole result comes over first, so that each text column's buffer fits its longest value.
  const my_bool update_max_length = 1;
  mysql_stmt_attr_set(statement, STMT_ATTR_UPDATE_MAX_LENGTH, &update_max_length);
  if (mysql_stmt_store_result(statement) != 0) Fail("read", statement);
  struct FreeResult {
    st_mysql_stmt* statement;
    ~FreeResult() { mysql_stmt_free_result(statement); }
  } free_result{statement};

  const unsigned columns = mysql_num_fields(meta.get());
  const MYSQL_FIELD* fields = mysql_fetch_fields(meta.get());
  std::vector<MYSQL_BIND> binds(columns);
  std::vector<int64_t> numbers(columns);
  std::vector<std::string> texts(columns);
  std::vector<unsigned long> lengths(columns);
  std::vector<my_bool> nulls(columns);
  std::vector<bool> numeric(columns);
  for (unsigned i = 0; i < columns; ++i) {
    MYSQL_BIND& bind = binds[i];
    std::memset(&bind, 0, sizeof bind);
    bind.length = &lengths[i];
    bind.is_null = &nulls[i];
    switch (fields[i].type) {
      case MYSQL_TYPE_TINY:
      case MYSQL_TYPE_SHORT:
      case MYSQL_TYPE_INT24:
      case MYSQL_TYPE_LONG:
      case MYSQL_TYPE_LONGLONG:
      case MYSQL_TYPE_YEAR:
        numeric[i] = true;
        bind.buffer_type = MYSQL_TYPE_LONGLONG;
        bind.buffer = &numbers[i];
        bind.is_unsigned = (fields[i].flags & UNSIGNED_FLAG) != 0;
        break;
      default:
        texts[i].resize(fields[i].max_length + 1);
        bind.buffer_type = MYSQL_TYPE_STRING;
        bind.buffer = texts[i].data();
        bind.buffer_length = texts[i].size();
        break;
    }
  }
  if (columns > 0 && mysql_stmt_bind_result(statement, binds.data()) != 0) {
    Fail("bind", statement);
  }
  std::vector<Row> rows;
  rows.reserve(mysql_stmt_num_rows(statement));
  for (;;) {
    const int status = mysql_stmt_fetch(statement);
    if (status == MYSQL_NO_DATA) break;
    if (status == 1) Fail("read", statement);
    if (status == MYSQL_DATA_TRUNCATED) throw DatabaseError("a value was longer than announced");
    Row& row = rows.emplace_back();
    row.values_.reserve(columns);
    for (unsigned i = 0; i < columns; ++i) {
      if (nulls[i]) {
        row.values_.emplace_back(nullptr);
      } else if (numeric[i]) {
        row.values_.emplace_back(numbers[i]);
      } else {
        row.values_.emplace_back(std::string(texts[i].data(), lengths[i]));
      }
    }
  }
  return rows;
}

void Database::Begin() {
  if (mysql_ == nullptr || mysql_autocommit(mysql_, 0) != 0) Fail("begin");
}

void Database::Commit() {
  if (mysql_ == nullptr || mysql_commit(mysql_) != 0) Fail("commit");
  if (mysql_autocommit(mysql_, 1) != 0) Fail("commit");
}

void Database::Rollback() noexcept {
  if (mysql_ == nullptr) return;
  mysql_rollback(mysql_);
  mysql_autocommit(mysql_, 1);
}

}  // namespace cluster
