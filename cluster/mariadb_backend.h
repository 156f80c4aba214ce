#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cluster/backend.h"
#include "cluster/cluster_tables.h"
#include "cluster/database.h"

// The cluster's database as the sync worker uses it: a MySQL-protocol server through
// cluster::Database and cluster::ClusterTables.
//
// Interrupt shuts the open connection's socket down, which ends the statement under way at once,
// and marks the backend so that every later call fails without touching the network. A connect
// under way cannot be interrupted: it ends within its connect timeout, which is therefore capped
// at kMaxConnectTimeout (the worker's stop bound is 2 s).
class MariaDbBackend : public ClusterBackend {
 public:
  static constexpr std::chrono::seconds kMaxConnectTimeout{2};

  MariaDbBackend() = default;
  ~MariaDbBackend() override;
  MariaDbBackend(const MariaDbBackend&) = delete;
  MariaDbBackend& operator=(const MariaDbBackend&) = delete;

  Outcome Connect(const ConnectionParams& params) override;
  Outcome Write(std::span<const CountRow> rows, bool whole_state) override;
  Outcome ReadChanges(const std::map<std::string, int64_t>& seen, ReadResult& out) override;
  Outcome ReadAll(ReadResult& out) override;
  Outcome ForgetMap(std::string_view map) override;
  void Close() override;
  void Interrupt() override;

  // The library's connection parameters for `params` (timeouts capped as above).
  static cluster::ConnectionParams ToDatabaseParams(const ConnectionParams& params);

 private:
  template <typename Call>
  Outcome Guard(Call&& call);
  void Convert(cluster::OthersRead& read, ReadResult& out);
  int64_t NextStamp();

  std::atomic<bool> interrupted_{false};
  std::mutex mutex_;                                   // guards interrupter_
  std::shared_ptr<cluster::Interrupter> interrupter_;  // the open connection's

  // Worker thread only.
  std::string password_;  // only to take it out of reasons
  std::optional<cluster::Database> database_;
  std::optional<cluster::ClusterTables> tables_;
  std::map<std::string, uint64_t, std::less<>> ids_;  // each other map's row id, as last read
  int64_t last_stamp_ = 0;
  bool has_rows_ = false;  // this map's row was in the database at a write of this backend
};
