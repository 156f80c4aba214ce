#pragma once

#include <map>
#include <string>
#include <string_view>

#include <fmt/xchar.h>

#include "base/config.h"
#include "base/logger.h"
#include "base/text.h"
#include "counting/dino_count_store.h"
#include "plugin/load.h"
#include "tests/support/sim_test.h"

// What the formatting library says of a text it rejects, as a sender's format step throws it.
inline std::string FormatErrorOf(std::wstring_view text) {
  try {
    (void)fmt::format(fmt::runtime(text));
  } catch (const fmt::format_error& error) {
    return error.what();
  }
  return "";
}

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
    Store().ForEachKind([&](const FString& path, const KindCounts& kind) {
      if (const auto it = kind.teams().find(team); it != kind.teams().end())
        counts[ToUtf8(path)] = it->second;
    });
    return counts;
  }
  static int TotalOf(int32_t team) { return Store().TotalOf(team); }
  static bool FlagOf(int32_t team) { return Store().FlagOf(team); }

  // Changes the live configuration as a whole, as a reload does (kinds and their limits follow
  // at the next recount).
  template <typename Edit>
  static void EditConfig(Edit&& edit) {
    nlohmann::json document = PluginConfig();
    edit(document);
    InstallConfig(std::move(document));
  }

 private:
  static void Reset() {
    Store() = DinoCountStore();
    InstallConfig(nullptr);
    LoggerHolder().reset();
  }
  bool loaded_ = false;
};
