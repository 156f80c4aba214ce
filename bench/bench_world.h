#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/server.h"

// A stand-in level for benchmarks: `actors` actors of which a fifth are creatures of 300 kinds
// (three quarters of those tamed by 5,000 teams, the rest wild or dead), the others structures;
// the first 200 kinds are configured. The plug-in's configuration and logger are set up in
// process, and the same world is reused while the size stays the same.
class BenchWorld {
 public:
  static BenchWorld& Get(int64_t actors);
  // Ends the current world; call before exit, while the plug-in's statics still live.
  static void Release();

  sim::Server& server() { return *server_; }
  // Blueprint paths of the 300 kinds; the first 200 are configured.
  const std::vector<std::string>& kinds() const { return kinds_; }
  int64_t tamed_living() const { return tamed_living_; }

  ~BenchWorld();

 private:
  explicit BenchWorld(int64_t actors);

  std::string dir_;
  std::unique_ptr<sim::Server> server_;
  std::vector<std::string> kinds_;
  int64_t tamed_living_ = 0;
};

// "Blueprint'...'" form of a kind path.
std::string Wrapped(const std::string& path);
