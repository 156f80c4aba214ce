// The count store keeps its counts, totals and kinds-over in agreement through every operation:
// a generated sequence of changes, tribe moves and replacements, checked after each step.
#include <random>

#include <gtest/gtest.h>

#include "base/settings.h"
#include "counting/dino_count_store.h"
#include "tests/support/sim_test.h"

namespace {

constexpr int32_t kTeams[] = {50001, 50002, 50003, 50004};
constexpr const char* kPaths[] = {kRex, kRaptor, kDodo, "Blueprint'/Game/Other.Other'"};

std::shared_ptr<const Settings> ThreeKinds() {
  return std::make_shared<const Settings>(ReadSettings(
      {{"Dinos",
        {{kRex, {{"Count", 2}}}, {kRaptor, {{"Count", 0}}}, {kDodo, nlohmann::json::object()}}}}));
}

// What the store derives, recomputed from its counts.
void ExpectConsistent(const DinoCountStore& store) {
  for (int32_t team : kTeams) {
    int32_t over = 0;
    store.ForEachKind([&](const FString&, const KindCounts& kind) {
      EXPECT_GE(kind.CountOf(team), 0);
      over += kind.CountOf(team) > kind.limit();
    });
    EXPECT_EQ(store.KindsOverOf(team), over) << team;
    EXPECT_GE(store.TotalOf(team), 0);
  }
}

TEST(CountStore, EveryOperationKeepsKindsOverExactAndCountsNonNegative) {
  DinoCountStore store(ThreeKinds());
  ASSERT_EQ(store.KindCount(), 3u);
  std::mt19937 random(20261208);
  const auto pick = [&](auto& values) { return values[random() % std::size(values)]; };
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE(step);
    switch (random() % 8) {
      case 0: {  // a tribe join
        const int32_t old_team = pick(kTeams), new_team = pick(kTeams);
        store.MoveTeam(old_team, new_team, random() % 2 == 0);
        if (old_team != new_team) {
          EXPECT_FALSE(store.KnowsTeam(old_team));
          store.ForEachKind([&](const FString&, const KindCounts& kind) {
            EXPECT_FALSE(kind.teams().contains(old_team));
          });
        }
        break;
      }
      case 1: {  // a recount that found every team's counts halved
        StoreCounts counts = store.EmptyCounts();
        store.ForEachKind([&](const FString&, const KindCounts& kind) {
          for (const auto& [team, count] : kind.teams())
            counts.kind_teams[kind.ordinal()][team] = count / 2;
        });
        store.ForEachTeam(
            [&](int32_t team, int32_t total) { counts.team_totals[team] = total / 2; });
        store.ReplaceCounts(std::move(counts));
        for (int32_t team : kTeams) EXPECT_EQ(store.FlagOf(team), store.KindsOverOf(team) > 0);
        break;
      }
      default: {  // a gain or a loss, some of them below zero
        const int32_t change = static_cast<int32_t>(random() % 5) - 2;
        store.Change(FString(pick(kPaths)), pick(kTeams), change);
      }
    }
    ExpectConsistent(store);
  }
}

}  // namespace
