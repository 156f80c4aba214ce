// A broken configuration never reaches the game as an exception: a refusal already decided
// stands, a check that cannot be made leaves the decision to the game, and counting hooks give
// back the game's own result. Each failure is logged at error level.
#include <gtest/gtest.h>

#include "host/game_facts.h"
#include "tests/support/hook_test.h"

namespace {

using sim::actions::Die;
using game_facts::kClaimUseIndex;
using sim::actions::MultiUse;
using sim::actions::Tame;

class HookFailures : public HookTest {};

TEST_F(HookFailures, ARefusalStandsWhenItsMessageCannotBeSent) {
  AddDinos(kRexPath, kTeam, 3);
  auto config = TestConfig();
  config["Messages"]["ReachLimit"] = "100% {full";
  config["General"].erase("NotificationScale");
  Boot(config);

  EXPECT_FALSE(Tame(alice_, Wild(kRexPath)));
  PluginConfig["General"]["NotificationScale"] = 1;  // now only the text is broken
  EXPECT_FALSE(MultiUse(alice_, Wild(kRexPath), kClaimUseIndex));
  EXPECT_EQ(LastResult("APrimalDinoCharacter.TryMultiUse")["called"], false);
  EXPECT_TRUE(Events("notification").empty());
  const auto errors = LogTexts("error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0],
            "Hook_AShooterGameState_AllowDinoTame: [json.exception.type_error.302] type must be "
            "number, but is null");
  EXPECT_EQ(errors[1].rfind("Hook_APrimalDinoCharacter_TryMultiUse: ", 0), 0u) << errors[1];
  ExpectCountsMatchTheWorld(kTeam);
}

TEST_F(HookFailures, ALimitThatCannotBeReadLeavesTheDecisionToTheGame) {
  auto config = TestConfig();
  config["Dinos"][kRex]["Count"] = "three";
  Boot(config);

  EXPECT_TRUE(Tame(alice_, Wild(kRexPath)));
  sim::Dino& claimed = Wild(kRexPath);
  EXPECT_TRUE(MultiUse(alice_, claimed, kClaimUseIndex));
  EXPECT_EQ(claimed.targeting_team, kTeam);
  EXPECT_TRUE(Die(claimed));
  EXPECT_EQ(LastResult("APrimalDinoCharacter.Die")["value"], true);
  const std::string kType = "[json.exception.type_error.302] type must be number, but is string";
  EXPECT_EQ(LogTexts("error"), (std::vector<std::string>{
                                   "Hook_AShooterGameState_AllowDinoTame: " + kType,
                                   "Hook_APrimalDinoCharacter_TameDino: " + kType,
                                   "Hook_APrimalDinoCharacter_TryMultiUse: " + kType,
                                   "Hook_APrimalDinoCharacter_TryMultiUse: " + kType,
                                   "Hook_APrimalDinoCharacter_Die: " + kType,
                               }));
}

}  // namespace
