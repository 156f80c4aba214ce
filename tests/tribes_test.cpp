// Tribe joins and merges: refused over a limit with a message to each side, and the counts
// following the creatures into the new team.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "counting/recount.h"
#include "sim/game/actions.h"
#include "tests/support/plugin_test.h"

namespace {

using sim::actions::AddToTribe;
using Lines = std::vector<std::string>;

constexpr int32_t kTribeA = 200001;
constexpr int32_t kTribeB = 300001;
constexpr int32_t kNewTribe = 400001;
constexpr int32_t kBobId = 100002;

class Tribes : public PluginTest {
 protected:
  // Alice leads tribe A; Bob is added to it. Creatures are placed before the world starts, so
  // the first recount finds them.
  void Start(int32_t bob_tribe, const std::vector<std::pair<const char*, int32_t>>& dinos) {
    bob_ = &game().AddPlayer({"bob", kBobId, 2, bob_tribe});
    for (const auto& [path, team] : dinos)
      game().AddDino("dino", *game().CreatureClass(path), team);
    auto config = TestConfig();
    config["Debug"] = true;
    Boot(config);
  }

  // Runs `join` and returns the diagnostic lines of the hook itself.
  template <typename Join>
  Lines HookLines(Join join) {
    testing::internal::CaptureStdout();
    join();
    const std::string out = testing::internal::GetCapturedStdout();
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = out.substr(start, end - start);
      if (line.find("AddToTribe") != std::string::npos || line == "|") lines.push_back(line);
    }
    return lines;
  }

  // The store's non-zero counts equal the world's own count of living tamed creatures.
  void ExpectCountsFollowTheWorld() {
    std::map<int32_t, int> world_totals, store_totals;
    std::map<int32_t, std::map<std::string, int>> world_kinds, store_kinds;
    for (const auto& [team, kinds] : game().Truth()) {
      for (const auto& [path, count] : kinds) {
        world_totals[team] += count;
        if (Store().FindKind(FString(path)) != nullptr) world_kinds[team][path] += count;
      }
    }
    Store().ForEachTeam([&](int32_t team, int32_t total) {
      if (total != 0) store_totals[team] = total;
    });
    Store().ForEachKind([&](const FString& path, const KindCounts& kind) {
      for (const auto& [team, count] : kind.teams()) {
        if (count != 0) store_kinds[team][ToUtf8(path)] = count;
      }
    });
    EXPECT_EQ(store_totals, world_totals);
    EXPECT_EQ(store_kinds, world_kinds);
  }

  // The old team is gone from the totals and from every kind.
  static void ExpectForgotten(int32_t team) {
    EXPECT_FALSE(Store().KnowsTeam(team));
    Store().ForEachKind([&](const FString& path, const KindCounts& kind) {
      EXPECT_FALSE(kind.teams().contains(team)) << ToUtf8(path);
    });
  }

  std::vector<nlohmann::json> Notifications() const {
    std::vector<nlohmann::json> seen;
    for (const auto& event : Events("notification"))
      seen.push_back({{"player", event["player"]}, {"text", event["text"]}});
    return seen;
  }

  bool GameCalled() const { return Events("result").back()["called"]; }

  sim::ShooterPlayerController& alice_ = game().AddPlayer({"alice", 100001, 1, kTribeA});
  sim::ShooterPlayerController* bob_ = nullptr;
};

TEST_F(Tribes, AnAllowedMergeMovesTheOldTribesCountsAndForgetsIt) {
  auto& carol = game().AddPlayer({"carol", 100003, 3, kTribeB});  // comes along with the tribe
  Start(kTribeB,
        {{kRex, kTribeA}, {kDodo, kTribeA}, {kRex, kTribeB}, {kRex, kTribeB}, {kRaptor, kTribeB}});

  bool joined = false;
  const Lines lines = HookLines([&] { joined = sim::actions::Merge(alice_, *bob_); });

  EXPECT_TRUE(joined);
  EXPECT_EQ(sim::Game::TeamOf(carol), kTribeA);
  EXPECT_EQ(TotalOf(kTribeA), 5);
  EXPECT_EQ(KindCountsOf(kTribeA), (std::map<std::string, int>{{kRaptor, 1}, {kRex, 3}}));
  ExpectForgotten(kTribeB);
  ExpectCountsFollowTheWorld();
  EXPECT_EQ(lines, (Lines{"::::Hook_AShooterPlayerState_AddToTribe::::",
                          "AShooterPlayerState_AddToTribe: Merge Invite",
                          "AShooterPlayerState_AddToTribe: team_id1: 200001",
                          "AShooterPlayerState_AddToTribe: team_id2: 300001",
                          "AShooterPlayerState_AddToTribe: Merge allowed: (Code 1)",
                          "AShooterPlayerState_AddToTribe: Merge allowed: (Code 1)",
                          "AShooterPlayerState_AddToTribe: Merge allowed: (Code 2)"}));
  EXPECT_TRUE(Notifications().empty());
}

// Each side of a refused join hears of it, the game is not asked and no count moves.
struct Refusal {
  bool merge;
  const char* inviting_text;
  const char* invited_text;
  const char* log_line;
};

void PrintTo(const Refusal& c, std::ostream* os) { *os << (c.merge ? "merge" : "invite"); }

class RefusedJoin : public Tribes, public testing::WithParamInterface<Refusal> {};

TEST_P(RefusedJoin, TellsBothSidesAndMovesNothing) {
  const Refusal& c = GetParam();
  Start(c.merge ? kTribeB : 0, {{kRex, kTribeA},
                                {kRex, kTribeA},
                                {kRex, c.merge ? kTribeB : kBobId},
                                {kRex, c.merge ? kTribeB : kBobId}});
  const auto kinds_before = KindCountsOf(kTribeA);

  bool joined = true;
  const Lines lines = HookLines([&] {
    joined = c.merge ? sim::actions::Merge(alice_, *bob_) : sim::actions::Invite(alice_, *bob_);
  });

  EXPECT_FALSE(joined);
  EXPECT_FALSE(GameCalled());
  EXPECT_EQ(Notifications(),
            (std::vector<nlohmann::json>{{{"player", "alice"}, {"text", c.inviting_text}},
                                         {{"player", "bob"}, {"text", c.invited_text}}}));
  EXPECT_EQ(lines.back(), c.log_line);
  EXPECT_EQ(KindCountsOf(kTribeA), kinds_before);
  EXPECT_EQ(TotalOf(kTribeA), 2);
  ExpectCountsFollowTheWorld();
}

INSTANTIATE_TEST_SUITE_P(
    MergeAndInvite, RefusedJoin,
    testing::Values(Refusal{true, "Inviting merge fail", "Invited merge fail",
                            "AShooterPlayerState_AddToTribe: ReachLimit: Tribe merge prevented!"},
                    Refusal{false, "Inviting tribe fail", "Invited player fail",
                            "| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite prevented!"}),
    [](const auto& test) { return test.param.merge ? "Merge" : "Invite"; });

TEST_F(Tribes, AnInvitedPlayersCreaturesMoveWithHim) {
  Start(0, {{kRex, kTribeA}, {kRex, kBobId}, {kRaptor, kBobId}, {kDodo, kBobId}});

  const Lines lines = HookLines([&] { EXPECT_TRUE(sim::actions::Invite(alice_, *bob_)); });

  EXPECT_EQ(TotalOf(kTribeA), 4);
  EXPECT_EQ(KindCountsOf(kTribeA), (std::map<std::string, int>{{kRaptor, 1}, {kRex, 2}}));
  ExpectForgotten(kBobId);
  ExpectCountsFollowTheWorld();
  // One line per kind, and no closing line after them.
  EXPECT_EQ(lines,
            (Lines{"::::Hook_AShooterPlayerState_AddToTribe::::",
                   "AShooterPlayerState_AddToTribe: Tribe Invite", "|",
                   "| AShooterPlayerState_AddToTribe: [Invite]: Find team_id1: 200001",
                   "| AShooterPlayerState_AddToTribe: [Invite]: Find team_id2: 100002", "|",
                   "| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite allowed! (Code 1)",
                   "| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite allowed! (Code 1)"}));
}

TEST_F(Tribes, AnInvitedPlayerWithoutCreaturesMovesNothing) {
  Start(0, {{kRex, kTribeA}});

  const Lines lines = HookLines([&] { EXPECT_TRUE(sim::actions::Invite(alice_, *bob_)); });

  EXPECT_EQ(lines.back(),
            "| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite allowed! (Code 2)");
  EXPECT_EQ(TotalOf(kTribeA), 1);
  EXPECT_EQ(KindCountsOf(kTribeA), (std::map<std::string, int>{{kRex, 1}}));
  ExpectCountsFollowTheWorld();
}

// A team joining itself (a solo player whose id is the inviter's tribe id) moves nothing and
// says so, by merge and by invitation alike.
TEST_F(Tribes, AJoinOfATeamIntoItselfMovesNothingAndSaysSo) {
  auto& twin = game().AddPlayer({"twin", kTribeA, 3, 0});
  Start(0, {{kRex, kTribeA}});
  struct Case {
    bool merge;
    const char* line;
  };
  for (const Case& c : {Case{true, "AShooterPlayerState_AddToTribe: Merge allowed: (Code 2)"},
                        Case{false,
                             "| AShooterPlayerState_AddToTribe: [Invite]: Tribe invite "
                             "allowed! (Code 2)"}}) {
    const Lines lines = HookLines([&] {
      EXPECT_TRUE(AddToTribe(&alice_, twin, kTribeA + c.merge, c.merge, /*invite=*/true));
    });
    EXPECT_EQ(lines.back(), c.line);
    EXPECT_EQ(TotalOf(kTribeA), 1);
    EXPECT_EQ(KindCountsOf(kTribeA), (std::map<std::string, int>{{kRex, 1}}));
  }
}

TEST_F(Tribes, ANewTribeTakesOverItsFoundersCreatures) {
  Start(0, {{kRex, kBobId}, {kRex, kBobId}, {kRaptor, kBobId}, {kRaptor, kBobId}, {kDodo, kBobId}});

  const Lines lines = HookLines([&] { EXPECT_TRUE(sim::actions::CreateTribe(*bob_, kNewTribe)); });

  EXPECT_EQ(TotalOf(kNewTribe), 5);
  EXPECT_EQ(KindCountsOf(kNewTribe), (std::map<std::string, int>{{kRaptor, 2}, {kRex, 2}}));
  ExpectForgotten(kBobId);
  ExpectCountsFollowTheWorld();
  EXPECT_EQ(lines,
            (Lines{"::::Hook_AShooterPlayerState_AddToTribe::::",
                   "AShooterPlayerState_AddToTribe: Creating a tribe",
                   "| AShooterPlayerState_AddToTribe: [Creating]: Tribe Created! (Code 1)",
                   "| AShooterPlayerState_AddToTribe: [Creating]: Tribe Created! (Code 1)",
                   "| AShooterPlayerState_AddToTribe: [Creating]: Tribe Created! (Code 2)"}));
}

TEST_F(Tribes, ANewTribeWithoutCreaturesMovesNothing) {
  Start(0, {});

  const Lines lines = HookLines([&] { EXPECT_TRUE(sim::actions::CreateTribe(*bob_, kNewTribe)); });

  EXPECT_EQ(lines.back(), "| AShooterPlayerState_AddToTribe: [Creating]: Tribe Created! (Code 3)");
  EXPECT_EQ(TotalOf(kNewTribe), 0);
  ExpectCountsFollowTheWorld();
}

TEST_F(Tribes, AMemberOfATribeLeavesItsCountsWithTheTribe) {
  Start(kTribeB, {{kRex, kTribeB}, {kDodo, kTribeB}});

  const Lines lines = HookLines([&] { EXPECT_TRUE(sim::actions::CreateTribe(*bob_, kNewTribe)); });

  EXPECT_TRUE(GameCalled());
  EXPECT_EQ(TotalOf(kTribeB), 2);
  EXPECT_EQ(KindCountsOf(kTribeB), (std::map<std::string, int>{{kRex, 1}}));
  EXPECT_EQ(TotalOf(kNewTribe), 0);
  EXPECT_EQ(lines.back(), "AShooterPlayerState_AddToTribe: Creating a tribe");
}

// Joins whose sides cannot be told apart are refused without a word, and the game is not asked.
TEST_F(Tribes, AJoinWithAMissingSideIsRefusedSilently) {
  auto& nobody = game().AddPlayer({"nobody", 0, 4, 0});  // no tribe and player id 0: team 0
  Start(kTribeB, {{kRex, kTribeB}});
  EditConfig([](nlohmann::json& live) { live["Debug"] = false; });

  struct Case {
    const char* name;
    sim::ShooterPlayerController* inviter;
    bool merge, invite;
  };
  for (const Case& c : {Case{"merge without inviter", nullptr, true, true},
                        Case{"invite without inviter", nullptr, false, true},
                        Case{"merge flag without invite flag", &alice_, true, false},
                        Case{"inviter of team 0", &nobody, false, true}}) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(AddToTribe(c.inviter, *bob_, kTribeA, c.merge, c.invite));
    EXPECT_FALSE(GameCalled());
  }
  EXPECT_TRUE(Notifications().empty());
  EXPECT_EQ(sim::Game::TeamOf(*bob_), kTribeB);
  EXPECT_EQ(TotalOf(kTribeB), 1);
}

// A check that fails never blocks the game. Without both teams known the counts cannot follow
// the join; the next recount brings them back to the world's.
TEST_F(Tribes, ABrokenCheckLetsTheGameDecide) {
  Start(0, {{kRex, kBobId}});
  EditConfig([](nlohmann::json& live) { live["Debug"] = false; });
  game().set_failing("AActor.GetOwnerController");

  EXPECT_TRUE(sim::actions::Invite(alice_, *bob_));

  EXPECT_TRUE(GameCalled());
  EXPECT_TRUE(Events("crash").empty());
  EXPECT_EQ(LogTexts("error"),
            std::vector<std::string>{
                "Hook_AShooterPlayerState_AddToTribe: AActor.GetOwnerController failed"});
  game().set_failing("");
  UpdateDinoCountAll();
  ExpectCountsFollowTheWorld();
}

}  // namespace
