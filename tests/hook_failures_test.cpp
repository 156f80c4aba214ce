// A broken configuration never reaches the game as an exception: a refusal already decided
// stands, a check that cannot be made leaves the decision to the game, and counting hooks give
// back the game's own result. Each failure is logged at error level, as is a hook the host
// refuses to install or that cannot be removed.
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/guard.h"
#include "hooks/hooks.h"
#include "host/ark_api.h"
#include "host/game_facts.h"
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
  // A text no checked file can hold, so the message fails before anything is sent.
  EditConfig([](nlohmann::json& live) { live["Messages"]["ReachLimit"] = "100% {full"; });
  EXPECT_FALSE(Tame(alice_, Wild(kRexPath)));
  EXPECT_FALSE(MultiUse(alice_, Wild(kRexPath), kClaimUseIndex));
  EXPECT_EQ(LastResult("APrimalDinoCharacter.TryMultiUse")["called"], false);
  EXPECT_TRUE(Events("notification").empty());
  const auto errors = LogTexts("error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "Hook_AShooterGameState_AllowDinoTame: " + FormatErrorOf(L"100% {full"));
  EXPECT_EQ(errors[1], "Hook_APrimalDinoCharacter_TryMultiUse: " + FormatErrorOf(L"100% {full"));
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

// A hook the host refuses at load is logged with its reason and is not Load's to remove; one
// that another party took out meanwhile is logged at unload.
TEST_F(HookFailures, RefusedAndLostHooksAreLogged) {
  auto& hooks = ArkApi::GetHooks();
  ASSERT_EQ(hooks.InstallHook<"APrimalDinoCharacter.Die">(&Hook_APrimalDinoCharacter_Die,
                                                          &Original<"APrimalDinoCharacter.Die">),
            ArkApi::HookInstall::kInstalled);
  server().RefuseHook("APrimalDinoCharacter.Destroyed");
  Boot(TestConfig());
  ASSERT_TRUE(hooks.RemoveHook("APrimalDinoCharacter.TameDino",
                               reinterpret_cast<void*>(&Hook_APrimalDinoCharacter_TameDino)));
  server().ClearTrace();
  Unload();

  const auto refused = [](const std::string& name, const std::string& reason) {
    return "Load: the host refused the hook on " + name + " (" + reason +
           "); that game function runs unchecked and uncounted";
  };
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{
                refused("APrimalDinoCharacter.Die", "already hooked"),
                refused("APrimalDinoCharacter.Destroyed", "declined"),
                "Unload: could not remove the hook on APrimalDinoCharacter.TameDino"}));
  const auto& calls = server().trace();
  EXPECT_EQ(std::ranges::count_if(calls, [](const auto& c) { return c.starts_with("RemoveHook"); }),
            14);
  for (const std::string refused_name :
       {"APrimalDinoCharacter.Die", "APrimalDinoCharacter.Destroyed"})
    EXPECT_EQ(std::ranges::count(calls, "RemoveHook " + refused_name), 0) << refused_name;
  EXPECT_TRUE(hooks.RemoveHook("APrimalDinoCharacter.Die",
                               reinterpret_cast<void*>(&Hook_APrimalDinoCharacter_Die)));
}

}  // namespace
