#pragma once

#include <map>
#include <string>
#include <vector>

#include "sim/game/actions.h"
#include "tests/support/plugin_test.h"

// Players meeting the enforcement hooks: the plug-in linked in and loaded into a running world
// with the test configuration, and a player "alice" whose team (her player id) owns what she
// tames. No exception may ever have reached the game by the end of a test.
class HookTest : public PluginTest {
 protected:
  static constexpr int32_t kTeam = 100001;

  void TearDown() override { EXPECT_EQ(nlohmann::json(Events("crash")).dump(), "[]"); }

  sim::Dino& Wild(const char* path) { return game().AddDino("wild", Kind(path), 0); }

  // The texts of every notification so far.
  std::vector<std::string> Notified() const {
    std::vector<std::string> texts;
    for (const auto& event : Events("notification")) texts.push_back(event["text"]);
    return texts;
  }
  // The plug-in's counts of one team agree with the living creatures the world holds for it.
  void ExpectCountsMatchTheWorld(int32_t team) {
    std::map<std::string, int> world_kinds, counted;
    int world_total = 0;
    auto truth = game().Truth();
    for (const auto& [path, n] : truth[team]) {
      world_total += n;
      if (Store().FindKind(FString(path.c_str())) != nullptr) world_kinds[path] = n;
    }
    for (const auto& [path, n] : KindCountsOf(team))
      if (n != 0) counted[path] = n;
    EXPECT_EQ(counted, world_kinds);
    EXPECT_EQ(TotalOf(team), world_total);
  }

  sim::ShooterPlayerController& alice_ = game().AddPlayer({"alice", kTeam, 1, 0});
};
