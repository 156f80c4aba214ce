// Limits counted across a cluster: this map's counts plus what the other maps last wrote decide
// every check, and the feed of this map's own changed counts.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "counting/limits.h"
#include "counting/other_maps.h"
#include "counting/recount.h"
#include "tests/support/plugin_test.h"

namespace {

constexpr int32_t kA = 200001;
constexpr int32_t kB = 200002;
// The Rex's key as another map's configuration may spell it: other case, same kind.
const std::string kRexOther = game_text::Folded(kRex);

nlohmann::json ClusterConfig() {
  return {{"General", {{"MaxAmount", 10}}},
          {"Dinos", {{kRex, {{"Count", 3}, {"Name", "Rex"}}}, {kRaptor, {{"Count", 2}}}}},
          {"Tiers", {{{"Group", "VIP"}, {"MaxAmount", 20}, {"Dinos", {{kRex, {{"Count", 5}}}}}}}},
          {"Debug", false}};
}

class ClusterCounts : public PluginTest {
 protected:
  ClusterCounts() {
    InstallConfig(ClusterConfig());
    UpdateDinoCountAll();  // an empty level: the kinds only
  }
  ~ClusterCounts() override {
    Others().Clear();
    Store().TrackChanges(false);
  }
  static Tier Vip() { return {0, &CurrentSettings().tiers.at(0)}; }
};

// One scenario: each step changes this map's or another map's counts, and every road's check
// decides on the sum at once.
TEST_F(ClusterCounts, EveryCheckCountsThisMapAndTheOthers) {
  using R = Refusal;
  struct Step {
    const char* what;
    std::function<void()> act;
    R rex, dodo, vip_dodo, merge;  // A taming a Rex, a Dodo, a Dodo as VIP; A and B merging
    int64_t total;                 // A's total in the cluster
  };
  const auto apply = [](const char* map, std::vector<ClusterRow> rows) {
    Others().ApplyRows(map, rows);
  };
  const Step steps[] = {
      {"this map only", [] { UpdateDinoCount(FString(kRex), kA, 2); }, R::kNone, R::kNone, R::kNone,
       R::kNone, 2},
      {"a Rex on another map reaches the limit (key in another case)",
       [&] {
         apply("Ragnarok", {{kA, "", 1}, {kA, kRexOther, 1}});
       },
       R::kKindLimit, R::kNone, R::kNone, R::kNone, 3},
      {"over only in the cluster: the flag refuses everything, not the tier's",
       [&] {
         apply("Ragnarok", {{kA, "", 2}, {kA, kRexOther, 2}});
       },
       R::kOverKindLimit, R::kOverKindLimit, R::kNone, R::kKindLimit, 4},
      {"this map losing one takes the cluster back to the limit",
       [] { UpdateDinoCount(FString(kRex), kA, -1); }, R::kKindLimit, R::kNone, R::kNone, R::kNone,
       3},
      {"and gaining it again passes it", [] { UpdateDinoCount(FString(kRex), kA, 1); },
       R::kOverKindLimit, R::kOverKindLimit, R::kNone, R::kKindLimit, 4},
      {"rows of 0 remove them",
       [&] {
         apply("Ragnarok", {{kA, "", 0}, {kA, kRex, 0}});
       },
       R::kNone, R::kNone, R::kNone, R::kNone, 2},
      {"a third map's total reaches MaxAmount, not the tier's",
       [] {
         const std::vector<ClusterRow> rows = {{kA, "", 8}, {kB, "", 1}};
         Others().ReplaceMap("Aberration", rows);
       },
       R::kTotalLimit, R::kTotalLimit, R::kNone, R::kTotalLimit, 10},
      {"forgetting that map frees the total at once", [] { Others().ForgetMap("Aberration"); },
       R::kNone, R::kNone, R::kNone, R::kNone, 2},
      {"a merge sums both teams' Raptors over every map",
       [&] {
         UpdateDinoCount(FString(kRaptor), kB, 1);
         apply("Ragnarok", {{kA, "", 1}, {kA, kRaptor, 1}, {kB, "", 1}, {kB, kRaptor, 1}});
       },
       R::kNone, R::kNone, R::kNone, R::kKindLimit, 3},
      // The other map still counts B's Raptor as B's until it writes the move.
      {"a tribe's move here keeps the other maps' counts in the decision",
       [] { MoveTeamCounts(kB, kA, true, ""); }, R::kNone, R::kNone, R::kNone, R::kKindLimit, 4},
      {"a recount of this map keeps them too", [] { UpdateDinoCountAll(); }, R::kNone, R::kNone,
       R::kNone, R::kNone, 1},
      {"new kinds after a reload still count them",
       [] {
         auto config = ClusterConfig();
         config["Dinos"][kRaptor]["Count"] = 0;
         InstallConfig(config);
         UpdateDinoCountAll();
       },
       R::kOverKindLimit, R::kOverKindLimit, R::kOverKindLimit, R::kKindLimit, 1},
      {"clearing every map leaves this map's counts alone", [] { Others().Clear(); }, R::kNone,
       R::kNone, R::kNone, R::kNone, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    EXPECT_EQ(CheckLimits(FString(kRex), kA).refusal, step.rex);
    EXPECT_EQ(CheckLimits(FString(kDodo), kA).refusal, step.dodo);
    EXPECT_EQ(CheckLimits(FString(kDodo), kA, Vip()).refusal, step.vip_dodo);
    EXPECT_EQ(CheckMergedCounts(kA, kB).refusal, step.merge);
    EXPECT_EQ(CountsOf(kA).total(), step.total);
  }
}

// A refusal for the flag names the kind over in the cluster, with the cluster's count.
TEST_F(ClusterCounts, TheFlagNamesTheKindOverInTheCluster) {
  UpdateDinoCount(FString(kRex), kA, 1);
  const std::vector<ClusterRow> rows = {{kA, kRex, 2}, {kA, kRaptor, 1}};
  Others().ReplaceMap("Ragnarok", rows);
  Others().ReplaceMap("Aberration", rows);
  const LimitCheck check = CheckLimits(FString(kDodo), kA);
  ASSERT_EQ(check.refusal, Refusal::kOverKindLimit);
  ASSERT_NE(check.over, nullptr);
  EXPECT_EQ(check.over->key(), kRex);
  EXPECT_EQ(check.count, 5);
  EXPECT_EQ(check.limit, 3);
}

// Which teams' rows the feed hands over, and their absolute values.
TEST_F(ClusterCounts, TheFeedHandsOverTheTeamsThatChanged) {
  const auto take = [] {
    std::vector<std::string> rows;
    const ChangedRows changed = Store().TakeChanges();
    if (changed.full) rows.push_back("full");
    for (const TeamRows& team : changed.teams) {
      std::string line = std::to_string(team.team) + " total " + std::to_string(team.total);
      for (const KindRow& kind : team.kinds)
        line += (kind.kind == kRex ? ", Rex " : ", Raptor ") + std::to_string(kind.count);
      rows.push_back(line);
    }
    return rows;
  };
  using Rows = std::vector<std::string>;
  UpdateDinoCount(FString(kRex), kA, 1);
  EXPECT_EQ(take(), Rows{}) << "nothing is kept while off";

  Store().TrackChanges(true);
  EXPECT_EQ(take(), (Rows{"full", "200001 total 1, Rex 1"}));
  EXPECT_EQ(take(), Rows{});

  UpdateDinoCount(FString(kRaptor), kA, 1);
  UpdateDinoCount(FString(kDodo), kB, 2);
  EXPECT_EQ(take(), (Rows{"200001 total 2, Raptor 1, Rex 1", "200002 total 2"}));

  UpdateDinoCount(FString(kRaptor), kA, -1);  // gone to zero: written as 0 once
  EXPECT_EQ(take(), (Rows{"200001 total 1, Raptor 0, Rex 1"}));
  UpdateDinoCount(FString(kDodo), kA, 1);
  EXPECT_EQ(take(), (Rows{"200001 total 2, Rex 1"}));

  MoveTeamCounts(kA, kB, true, "");
  EXPECT_EQ(take(), (Rows{"200001 total 0, Rex 0", "200002 total 4, Rex 1"}));

  UpdateDinoCountAll();  // the level is empty: every team this map counted is gone
  EXPECT_EQ(take(), (Rows{"200002 total 0, Rex 0"}));
  UpdateDinoCountAll();  // a recount that changed nothing
  EXPECT_EQ(take(), Rows{});

  auto config = ClusterConfig();
  config["Dinos"][kRex]["Count"] = 4;  // new kinds: everything is written anew
  InstallConfig(config);
  UpdateDinoCount(FString(kRex), kB, 1);
  UpdateDinoCountAll();
  EXPECT_EQ(take(), Rows{"full"});
}

// tw.counts and /limits show the cluster's counts; a team's answer has a line per other map.
class ClusterAnswers : public PluginTest {
 protected:
  ~ClusterAnswers() override { Others().Clear(); }
};

TEST_F(ClusterAnswers, TwCountsShowsTheClusterAndEachOtherMap) {
  game().AddDino("rex", Kind(kRexPath), kA);
  auto config = TestConfig();
  for (const char* section : {"Dinos", "Tiers"}) config[section] = ClusterConfig()[section];
  config["General"]["MaxAmount"] = 10;
  Boot(config);
  const auto answer = [&](const std::string& command) {
    return server().Rcon(command, 1).at(0).text;
  };
  const std::string alone = answer("tw.counts 200001");
  const std::vector<ClusterRow> ragnarok = {{kA, "", 3}, {kA, kRexOther, 2}, {kB, "", 11}};
  Others().ReplaceMap("Ragnarok", ragnarok);
  const std::vector<ClusterRow> aberration = {{kA, "", 1}, {kA, "/Game/Other.Other", 1}};
  Others().ReplaceMap("Aberration", aberration);

  std::string expected = alone;
  expected.replace(expected.find("Rex: 1/3"), 8, "Rex: 3/3");
  expected.replace(expected.find("1/10"), 4, "5/10");
  expected += "\non Aberration: 1 creature\non Ragnarok: 3 creatures (Rex 2)";
  EXPECT_EQ(answer("tw.counts 200001"), expected);
  EXPECT_EQ(answer("tw.counts"),
            "2 teams counted, 2 kinds configured\nteam 200002: 11 of 10\nteam 200001: 5 of 10");
  EXPECT_EQ(answer("tw.counts over"),
            "1 team is over a limit\nteam 200002: total 11/10\n(the base limits: players of a tier "
            "have the tier's)");
  EXPECT_TRUE(answer("tw.counts 200002").ends_with("\non Ragnarok: 11 creatures"));

  Others().ForgetMap("Ragnarok");
  Others().ForgetMap("Aberration");
  EXPECT_EQ(answer("tw.counts 200001"), alone);
}

}  // namespace
