// Taming and claiming up to the limits, as a player meets them.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/game_facts.h"
#include "tests/support/hook_test.h"

namespace {

using game_facts::kClaimUseIndex;
using game_facts::kUnclaimUseIndex;
using sim::actions::MultiUse;
using sim::actions::Tame;

class Taming : public HookTest {};

TEST_F(Taming, ATeamAtALimitCannotFinishATameAndIsToldInRed) {
  auto& bob = game().AddPlayer({"bob", 100002, 2, 0});
  AddDinos(kRexPath, kTeam, 3);     // alice: at the Rex limit
  AddDinos(kDodoPath, 100002, 20);  // bob: at the total limit, with a kind that has none
  Boot(TestConfig());
  struct Case {
    sim::ShooterPlayerController& player;
    const char* tamed;
  };
  for (const Case& c : {Case{alice_, kRexPath}, Case{bob, kRaptorPath}}) {
    SCOPED_TRACE(c.player.name);
    events().Clear();
    EXPECT_FALSE(Tame(c.player, Wild(c.tamed)));
    // The game allowed it and was asked first; the plug-in turned its yes into a no.
    const auto allow = LastResult("AShooterGameState.AllowDinoTame");
    EXPECT_EQ(allow["called"], true);
    EXPECT_EQ(allow["value"], false);
    EXPECT_TRUE(LastResult("APrimalDinoCharacter.TameDino").is_null());
    const auto shown = Events("notification");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]["player"], c.player.name);
    EXPECT_EQ(shown[0]["text"], "Limit reached");
    EXPECT_EQ(shown[0]["color"], (nlohmann::json{1.0, 0.0, 0.0, 1.0}));
    EXPECT_EQ(shown[0]["scale"], 1.5);
    EXPECT_EQ(shown[0]["time"], 5.0);
    ExpectCountsMatchTheWorld(sim::Game::TeamOf(c.player));
  }
}

TEST_F(Taming, TheTameThatReachesTheLimitIsCountedAndWarned) {
  AddDinos(kRexPath, kTeam, 1);
  Boot(TestConfig());
  EXPECT_TRUE(Tame(alice_, Wild(kRexPath)));
  EXPECT_TRUE(Notified().empty());
  EXPECT_TRUE(Tame(alice_, Wild(kRexPath)));  // the third of three
  EXPECT_EQ(Notified(), std::vector<std::string>{"Limit reached"});
  EXPECT_EQ(KindCountsOf(kTeam), (std::map<std::string, int>{{kRex, 3}}));
  ExpectCountsMatchTheWorld(kTeam);
}

TEST_F(Taming, ACreatureWithoutATamingTeamGetsTheGamesOwnAnswer) {
  auto config = TestConfig();
  config["General"]["MaxAmount"] = 0;  // any check would refuse
  Boot(config);
  auto& nobody = game().AddPlayer({"nobody", 0, 2, 0});
  sim::Dino& dead = Wild(kRexPath);
  dead.set_dead(true);
  EXPECT_FALSE(Tame(nobody, dead));
  EXPECT_EQ(LastResult("AShooterGameState.AllowDinoTame")["value"], false);
  EXPECT_TRUE(Tame(nobody, Wild(kRexPath)));
  EXPECT_EQ(LastResult("AShooterGameState.AllowDinoTame")["value"], true);
}

TEST_F(Taming, AClaimOverTheLimitNeverReachesTheGame) {
  AddDinos(kRexPath, kTeam, 3);
  Boot(TestConfig());
  sim::Dino& rex = Wild(kRexPath);
  EXPECT_FALSE(MultiUse(alice_, rex, kClaimUseIndex));
  EXPECT_EQ(LastResult("APrimalDinoCharacter.TryMultiUse")["called"], false);
  EXPECT_EQ(Notified(), std::vector<std::string>{"Limit reached"});
  EXPECT_EQ(rex.targeting_team, 0);
  ExpectCountsMatchTheWorld(kTeam);
}

TEST_F(Taming, ClaimsAndGivingUpChangeTheCountsOnlyWhenTheGameAgrees) {
  Boot(TestConfig());
  sim::Dino& rex = Wild(kRexPath);
  EXPECT_TRUE(MultiUse(alice_, rex, kClaimUseIndex));
  EXPECT_EQ(rex.taming_team_id, kTeam);
  EXPECT_EQ(KindCountsOf(kTeam), (std::map<std::string, int>{{kRex, 1}}));
  EXPECT_FALSE(MultiUse(alice_, rex, kClaimUseIndex));  // already hers: the game says no
  EXPECT_EQ(KindCountsOf(kTeam), (std::map<std::string, int>{{kRex, 1}}));
  ExpectCountsMatchTheWorld(kTeam);

  auto& bob = game().AddPlayer({"bob", 100002, 3, 0});
  EXPECT_FALSE(MultiUse(bob, rex, kUnclaimUseIndex));  // not his to give up
  EXPECT_TRUE(MultiUse(alice_, rex, kUnclaimUseIndex));
  EXPECT_EQ(TotalOf(kTeam), 0);
  ExpectCountsMatchTheWorld(kTeam);
  ExpectCountsMatchTheWorld(100002);
}

TEST_F(Taming, OtherUsesGoStraightToTheGame) {
  AddDinos(kRexPath, kTeam, 4);  // over the limit: the flag is set
  Boot(TestConfig());
  sim::Dino& rex = Wild(kRexPath);
  for (int32_t use_index :
       {0, kUnclaimUseIndex - 1, kClaimUseIndex + 1, game_facts::kCloneUseIndex}) {
    EXPECT_TRUE(MultiUse(alice_, rex, use_index)) << use_index;
    EXPECT_EQ(LastResult("APrimalDinoCharacter.TryMultiUse")["called"], true);
  }
  EXPECT_TRUE(Notified().empty());
  EXPECT_EQ(TotalOf(kTeam), 4);
}

TEST_F(Taming, DiagnosticLinesTellWhatEachHookDecided) {
  AddDinos(kRexPath, kTeam, 2);
  auto config = TestConfig();
  config["Debug"] = true;
  Boot(config);
  testing::internal::CaptureStdout();
  Tame(alice_, game().AddDino("wild", Kind(kRexPath), 0, {10.5f, -2, 0}));
  Tame(alice_, Wild(kRexPath));
  MultiUse(alice_, Wild(kRexPath), kClaimUseIndex);
  std::vector<std::string> lines;
  std::istringstream out(testing::internal::GetCapturedStdout());
  for (std::string line; std::getline(out, line);)
    if (line.find("Tame") != std::string::npos || line.find("Claim") != std::string::npos ||
        line.find("MultiUse") != std::string::npos)
      lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "AShooterGameState_AllowDinoTame: team_id: 100001 Location: 10.5 -2 0",
                       "AShooterGameState_AllowDinoTame: Limit Not reached: Taming Preventing "
                       "will be ignored!",
                       "Hook_APrimalDinoCharacter_TameDino",
                       "APrimalDinoCharacter_TameDino: team_id: 100001",
                       "AShooterGameState_AllowDinoTame: team_id: 100001 Location: 0 0 0",
                       "AShooterGameState_AllowDinoTame: Limit reached: Taming Prevented Over "
                       "the Limit!",
                       "Hook_APrimalDinoCharacter_TryMultiUse",
                       "Claiming Prevented Over the Limit!",
                   }));
}

}  // namespace
