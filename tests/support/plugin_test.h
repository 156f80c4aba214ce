#pragma once

#include <map>
#include <string>

#include "counting/dino_count_store.h"
#include "plugin/config.h"
#include "plugin/load.h"
#include "plugin/logger.h"
#include "plugin/text.h"
#include "tests/support/sim_test.h"

// The plug-in's code linked into the test and started with Load() in the stand-in server, so a
// test drives the game and then looks into the count store itself.
class PluginTest : public SimTest {
 protected:
  PluginTest() { Reset(); }
  ~PluginTest() override {
    if (loaded_) Unload();
    Reset();
  }

  // Writes the configuration and loads the plug-in (into a running world unless `start` is false).
  void Boot(const nlohmann::json& config, bool start = true) {
    WriteConfig(config);
    if (start) server().Start();
    Load();
    loaded_ = true;
  }

  // Counts per kind (UTF-8 key) for one team, as the store holds them; absent entries are absent.
  static std::map<std::string, int> KindCountsOf(int32_t team) {
    std::map<std::string, int> counts;
    for (const auto& [path, kind] : Store().dino_counts) {
      if (const auto it = kind.teams.find(team); it != kind.teams.end())
        counts[ToUtf8(path)] = it->second;
    }
    return counts;
  }
  static int TotalOf(int32_t team) {
    const auto it = Store().team_totals.find(team);
    return it == Store().team_totals.end() ? 0 : it->second;
  }
  static bool FlagOf(int32_t team) {
    const auto it = Store().limit_exceeded.find(team);
    return it != Store().limit_exceeded.end() && it->second;
  }

 private:
  static void Reset() {
    ClearStore();
    PluginConfig = nullptr;
    IgnoreAdminFlag = false;
    LoggerHolder().reset();
  }
  bool loaded_ = false;
};
