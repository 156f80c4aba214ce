// A broken configuration never reaches the game as an exception: a refusal already decided
// stands, a check that cannot be made leaves the decision to the game, and counting hooks give
// back the game's own result. Each failure is logged at error level.
#include <functional>
#include <stdexcept>
#include <string_view>

#include <gtest/gtest.h>

#include "host/game_facts.h"
#include "base/guard.h"
#include "tests/support/hook_test.h"

namespace {

using game_facts::kClaimUseIndex;
using sim::actions::Die;
using sim::actions::MultiUse;
using sim::actions::Tame;

class HookFailures : public HookTest {};

TEST_F(HookFailures, ARefusalStandsWhenItsMessageCannotBeSent) {
  AddDinos(kRexPath, kTeam, 3);
  Boot(TestConfig());
  // Texts no checked file can hold, so the message fails before anything is sent.
  EditConfig([](nlohmann::json& live) { live["Messages"]["ReachLimit"] = 5; });
  EXPECT_FALSE(Tame(alice_, Wild(kRexPath)));
  EditConfig([](nlohmann::json& live) { live["Messages"]["ReachLimit"] = "100% {full"; });
  EXPECT_FALSE(MultiUse(alice_, Wild(kRexPath), kClaimUseIndex));
  EXPECT_EQ(LastResult("APrimalDinoCharacter.TryMultiUse")["called"], false);
  EXPECT_TRUE(Events("notification").empty());
  const auto errors = LogTexts("error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0],
            "Hook_AShooterGameState_AllowDinoTame: [json.exception.type_error.302] type must be "
            "string, but is number");
  EXPECT_EQ(errors[1].rfind("Hook_APrimalDinoCharacter_TryMultiUse: ", 0), 0u) << errors[1];
  ExpectCountsMatchTheWorld(kTeam);
}

// The game fails while a hook asks it for a creature's path: the hook lets the game decide.
TEST_F(HookFailures, ACheckThatFailsLeavesTheDecisionToTheGame) {
  Boot(TestConfig());
  sim::Dino& tamed = Wild(kRexPath);
  sim::Dino& claimed = Wild(kRexPath);
  game().set_failing("UObjectBaseUtility.GetFullName");
  EXPECT_TRUE(Tame(alice_, tamed));
  EXPECT_TRUE(MultiUse(alice_, claimed, kClaimUseIndex));
  EXPECT_EQ(claimed.targeting_team, kTeam);
  EXPECT_TRUE(Die(claimed));
  EXPECT_EQ(LastResult("APrimalDinoCharacter.Die")["value"], true);
  const std::string kFailure = "UObjectBaseUtility.GetFullName failed";
  EXPECT_EQ(LogTexts("error"), (std::vector<std::string>{
                                   "Hook_AShooterGameState_AllowDinoTame: " + kFailure,
                                   "Hook_APrimalDinoCharacter_TameDino: " + kFailure,
                                   "Hook_APrimalDinoCharacter_TryMultiUse: " + kFailure,
                                   "Hook_APrimalDinoCharacter_Die: " + kFailure,
                               }));
}

// A failure is logged by its own text, and as "Unknown exception" when it carries none; the
// admin-spawn hook writes the text alone, every other detour and handler after where it failed.
TEST_F(HookFailures, AFailureIsLoggedByItsTextOrAsUnknown) {
  Boot(TestConfig());
  struct Textless : std::exception {
    const char* what() const noexcept override { return ""; }
  };
  const std::function<void()> failures[] = {[] { throw std::runtime_error("no room"); },
                                            [] { throw Textless(); }, [] { throw 42; }};
  for (const auto& fail : failures) {
    EXPECT_FALSE(Guarded("Where", fail));
    EXPECT_FALSE(Contained(fail, [](std::string_view text) { LogError(text); }));
  }
  EXPECT_TRUE(Guarded("Where", [] {}));
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"Where: no room", "no room", "Where: Unknown exception",
                                      "Unknown exception", "Where: Unknown exception",
                                      "Unknown exception"}));
}

}  // namespace
