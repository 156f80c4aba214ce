// The framework's hook table: what the game sees when detours are installed and removed.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/ark_api.h"
#include "sim/framework/call_trace.h"
#include "sim/game/actions.h"
#include "tests/support/sim_test.h"

namespace {

using DieFn = GameFunction<"APrimalDinoCharacter.Die">::Type;

std::vector<std::string> trace;
DieFn* first_original = nullptr;
DieFn* second_original = nullptr;
DieFn* seen_at_first_call = nullptr;

bool FirstDetour(APrimalDinoCharacter* dino, float damage, FDamageEvent* event, AController* killer,
                 AActor* causer) {
  seen_at_first_call = first_original;
  trace.push_back("first");
  return first_original(dino, damage, event, killer, causer);
}

bool SecondDetour(APrimalDinoCharacter* dino, float damage, FDamageEvent* event,
                  AController* killer, AActor* causer) {
  trace.push_back("second");
  return second_original(dino, damage, event, killer, causer);
}

bool RefusingDetour(APrimalDinoCharacter*, float, FDamageEvent*, AController*, AActor*) {
  trace.push_back("refused");
  return false;
}

class HookTable : public SimTest {
 protected:
  HookTable() {
    trace.clear();
    first_original = second_original = seen_at_first_call = nullptr;
  }
  ~HookTable() override {
    auto& hooks = ArkApi::GetHooks();
    hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&FirstDetour));
    hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&SecondDetour));
    hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&RefusingDetour));
  }

  // Kills a fresh creature through the game and returns the "result" event of that call.
  nlohmann::json KillOne() {
    sim::Dino& dino = game().AddDino("victim", Kind(kRexPath), 0);
    sim::actions::Die(dino);
    return Events("result").back();
  }
};

TEST_F(HookTable, OriginalIsWrittenBeforeTheDetourRuns) {
  ASSERT_TRUE(
      ArkApi::GetHooks().InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &first_original));
  ASSERT_NE(first_original, nullptr);
  const auto result = KillOne();
  EXPECT_EQ(seen_at_first_call, first_original);
  EXPECT_EQ(trace, std::vector<std::string>{"first"});
  EXPECT_EQ(result["called"], true);
  EXPECT_EQ(result["value"], true);
}

TEST_F(HookTable, NewestDetourRunsFirstAndRemovalFromTheMiddleRelinks) {
  auto& hooks = ArkApi::GetHooks();
  hooks.InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &first_original);
  hooks.InstallHook<"APrimalDinoCharacter.Die">(&SecondDetour, &second_original);
  KillOne();
  EXPECT_EQ(trace, (std::vector<std::string>{"second", "first"}));

  trace.clear();
  EXPECT_TRUE(hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&FirstDetour)));
  const auto result = KillOne();
  EXPECT_EQ(trace, std::vector<std::string>{"second"});
  EXPECT_EQ(result["called"], true);

  trace.clear();
  EXPECT_TRUE(hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&SecondDetour)));
  EXPECT_EQ(KillOne()["called"], true);
  EXPECT_TRUE(trace.empty());
}

TEST_F(HookTable, ADetourThatDoesNotCallOnStopsTheGame) {
  // Static: the fixture's teardown removes the hook, which reads this place again.
  static DieFn* original = nullptr;
  ArkApi::GetHooks().InstallHook<"APrimalDinoCharacter.Die">(&RefusingDetour, &original);
  const auto result = KillOne();
  EXPECT_EQ(result["called"], false);
  EXPECT_EQ(result["value"], false);
}

TEST_F(HookTable, UnknownNamesAndRepeatsFailWithoutHarm) {
  auto& hooks = ArkApi::GetHooks();
  void* place = reinterpret_cast<void*>(0x1);
  EXPECT_FALSE(hooks.InstallHook("AShooterGameMode.NoSuchFunction",
                                 reinterpret_cast<void*>(&FirstDetour), &place));
  EXPECT_EQ(place, reinterpret_cast<void*>(0x1));
  EXPECT_FALSE(
      hooks.RemoveHook("AShooterGameMode.NoSuchFunction", reinterpret_cast<void*>(&FirstDetour)));
  EXPECT_FALSE(hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&FirstDetour)));

  ASSERT_TRUE(hooks.InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &first_original));
  DieFn* again = nullptr;
  EXPECT_FALSE(hooks.InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &again));
  EXPECT_EQ(again, nullptr);
  KillOne();
  EXPECT_EQ(trace, std::vector<std::string>{"first"});
}

TEST_F(HookTable, TheHostSeesEveryCallInOrder) {
  auto& hooks = ArkApi::GetHooks();
  hooks.InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &first_original);
  hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&FirstDetour));
  EXPECT_EQ(server().trace(), (std::vector<std::string>{"InstallHook APrimalDinoCharacter.Die",
                                                        "RemoveHook APrimalDinoCharacter.Die"}));
}

}  // namespace
