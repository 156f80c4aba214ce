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
DieFn* refusing_original = nullptr;  // the host writes here for as long as the hook stays

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
  ASSERT_EQ(
      ArkApi::GetHooks().InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &first_original),
      ArkApi::HookInstall::kInstalled);
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
  ArkApi::GetHooks().InstallHook<"APrimalDinoCharacter.Die">(&RefusingDetour, &refusing_original);
  const auto result = KillOne();
  EXPECT_EQ(result["called"], false);
  EXPECT_EQ(result["value"], false);
}

// Each refusal gives its reason, writes nothing and leaves the installed chain as it was.
TEST_F(HookTable, RefusalsGiveTheirReasonAndChangeNothing) {
  using enum ArkApi::HookInstall;
  auto& hooks = ArkApi::GetHooks();
  ASSERT_EQ(hooks.InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &first_original),
            kInstalled);
  server().RefuseHook("APrimalDinoCharacter.Die");
  const struct {
    const char* name;
    DieFn* detour;
    ArkApi::HookInstall answer;
  } cases[] = {
      {"AShooterGameMode.NoSuchFunction", &SecondDetour, kUnknownName},
      {"APrimalDinoCharacter.Die", &FirstDetour, kAlreadyHooked},
      {"APrimalDinoCharacter.Die", &SecondDetour, kDeclined},
  };
  for (const auto& c : cases) {
    void* place = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(hooks.InstallHook(c.name, reinterpret_cast<void*>(c.detour), &place), c.answer)
        << c.name;
    EXPECT_EQ(place, reinterpret_cast<void*>(0x1)) << c.name;
  }
  KillOne();
  EXPECT_EQ(trace, std::vector<std::string>{"first"});

  EXPECT_FALSE(
      hooks.RemoveHook("AShooterGameMode.NoSuchFunction", reinterpret_cast<void*>(&FirstDetour)));
  EXPECT_FALSE(
      hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&SecondDetour)));
}

TEST_F(HookTable, TheHostSeesEveryCallInOrder) {
  auto& hooks = ArkApi::GetHooks();
  hooks.InstallHook<"APrimalDinoCharacter.Die">(&FirstDetour, &first_original);
  hooks.RemoveHook("APrimalDinoCharacter.Die", reinterpret_cast<void*>(&FirstDetour));
  EXPECT_EQ(server().trace(), (std::vector<std::string>{"InstallHook APrimalDinoCharacter.Die",
                                                        "RemoveHook APrimalDinoCharacter.Die"}));
}

}  // namespace
