// The full recount: from the configuration and the level into the count store.
#include <gtest/gtest.h>

#include "counting/recount.h"
#include "sim/game/actions.h"
#include "tests/support/plugin_test.h"

namespace {

constexpr int32_t kTribe = 200001;

class Recount : public PluginTest {};

TEST_F(Recount, CountsLivingCreaturesOfPlayerTeamsOnly) {
  AddDinos(kRexPath, kTribe, 2);
  game().AddDino("dead", Kind(kRexPath), kTribe).set_dead(true);
  AddDinos(kRexPath, 0, 1);
  AddDinos(kRexPath, 50000, 1);
  AddDinos(kRexPath, 50001, 1);
  AddDinos(kRexPath, 2000000000, 1);
  AddDinos(kDodoPath, kTribe, 3);  // not configured: counted in the total only
  game().AddNullActor();
  game().AddStructure("wall");
  game().AddPlayer({"alice", 100001, 1, kTribe});
  Boot(TestConfig());

  EXPECT_EQ(TotalOf(kTribe), 5);
  EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{kRex, 2}}));
  EXPECT_EQ(TotalOf(50001), 1);
  for (int32_t team : {0, 50000, 2000000000})
    EXPECT_EQ(Store().team_totals.count(team), 0u) << team;
  // A configured kind without creatures has a key and no counts.
  EXPECT_TRUE(Store().dino_counts.at(FString(kRaptor)).teams.empty());
}

TEST_F(Recount, SetsTheFlagOnlyAboveALimit) {
  auto config = TestConfig();
  config["Dinos"][kDodo] = {{"Count", 0}};
  AddDinos(kRexPath, kTribe, 3);     // Count 3: at the limit
  AddDinos(kRaptorPath, 300001, 6);  // Count 5: over it
  AddDinos(kDodoPath, 300002, 1);    // Count 0: over it
  Boot(config);
  EXPECT_FALSE(FlagOf(kTribe));
  EXPECT_TRUE(FlagOf(300001));
  EXPECT_TRUE(FlagOf(300002));
}

TEST_F(Recount, KeysEqualIgnoringCaseMakeOneKindAndCountBothSpellings) {
  auto config = TestConfig();
  config["Dinos"] = {{"Blueprint'/Game/A.A'", {{"Count", 1}}},
                     {"Blueprint'/game/a.a'", {{"Count", 7}}}};
  game().AddDino("a", game().CreatureClassNamed("A_C /Game/A.Default__A_C"), kTribe);
  game().AddDino("b", game().CreatureClassNamed("A_C /game/a.Default__A_C"), kTribe);
  Boot(config);
  ASSERT_EQ(Store().dino_counts.size(), 1u);
  EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{"Blueprint'/Game/A.A'", 2}}));
  EXPECT_TRUE(FlagOf(kTribe));  // the first spelling's limit of 1 applies to both
}

TEST_F(Recount, RunningTwiceGivesTheSameStore) {
  AddDinos(kRexPath, kTribe, 4);
  AddDinos(kRaptorPath, 300001, 2);
  Boot(TestConfig());
  const auto totals = Store().team_totals;
  const auto flags = Store().limit_exceeded;
  const auto rex = Store().dino_counts.at(FString(kRex)).teams;
  UpdateDinoCountAll();
  EXPECT_EQ(Store().team_totals, totals);
  EXPECT_EQ(Store().limit_exceeded, flags);
  EXPECT_EQ(Store().dino_counts.at(FString(kRex)).teams, rex);
}

TEST_F(Recount, ALoadIntoAStartingWorldCountsWhenTheWorldStarts) {
  AddDinos(kRexPath, kTribe, 2);
  Boot(TestConfig(), /*start=*/false);
  EXPECT_TRUE(Store().team_totals.empty());
  server().Start();
  EXPECT_EQ(TotalOf(kTribe), 2);
}

TEST_F(Recount, AReloadCountsANewlyConfiguredKindAtOnce) {
  AddDinos(kDodoPath, kTribe, 2);
  Boot(TestConfig());
  EXPECT_TRUE(KindCountsOf(kTribe).empty());
  auto config = TestConfig();
  config["Dinos"][kDodo] = {{"Count", 1}};
  WriteConfig(config);
  auto& admin = game().AddPlayer({"admin", 100001, 1, 0});
  server().Console(admin, "tw.reload");
  EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{kDodo, 2}}));
  EXPECT_TRUE(FlagOf(kTribe));
}

TEST_F(Recount, AMistypedKindStopsTheCountAtItsFirstCreature) {
  AddDinos(kDodoPath, kTribe, 1);
  AddDinos(kRexPath, kTribe, 1);
  AddDinos(kDodoPath, kTribe, 1);
  auto config = TestConfig();
  config["Dinos"][kRex] = 5;  // not an object
  WriteConfig(config);
  server().Start();
  EXPECT_THROW(Load(), nlohmann::json::type_error);
  // The Dodo before it and the Rex itself were counted; the Dodo after it was not.
  EXPECT_EQ(TotalOf(kTribe), 2);
  EXPECT_EQ(
      LogTexts("error"),
      std::vector<std::string>{"[json.exception.type_error.306] cannot use value() with number"});
  EXPECT_TRUE(server().trace().empty());
}

TEST_F(Recount, AFailingCountAtWorldStartIsLoggedAndTheGameGoesOn) {
  auto config = TestConfig();
  config["Dinos"] = {1, 2};
  Boot(config, /*start=*/false);
  server().Start();
  EXPECT_EQ(LogTexts("error"),
            std::vector<std::string>{
                "UpdateDinoCountAll: [json.exception.invalid_iterator.207] cannot use key() for "
                "non-object iterators"});
  EXPECT_TRUE(Events("crash").empty());
  EXPECT_EQ(Events("result").back()["called"], true);
  EXPECT_EQ(server().server_state(), 1);
}

TEST_F(Recount, AFailingCountAfterAReloadIsAnsweredAndLogged) {
  Boot(TestConfig());
  auto config = TestConfig();
  config["Dinos"][kRex]["Count"] = "ten";
  WriteConfig(config);
  AddDinos(kRexPath, kTribe, 1);
  const auto replies = server().Rcon("tw.reload");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text, "[json.exception.type_error.302] type must be number, but is string");
  auto& admin = game().AddPlayer({"admin", 100001, 1, 0});
  server().Console(admin, "tw.reload");
  EXPECT_EQ(Events("server_message").back()["text"], "Failed to reload config");
  EXPECT_EQ(LogTexts("error").size(), 2u);
  EXPECT_TRUE(LogTexts("info").empty());
  EXPECT_TRUE(Events("crash").empty());
}

TEST_F(Recount, DiagnosticLinesNameEachCountedCreature) {
  auto config = TestConfig();
  config["Debug"] = true;
  AddDinos(kRexPath, kTribe, 2);
  AddDinos(kDodoPath, kTribe, 1);
  WriteConfig(config);
  server().Start();
  testing::internal::CaptureStdout();
  Load();
  Unload();
  const std::string rex_lines =
      "UpdateDinoCountAll: team_id: 200001\nUpdateDinoCountAll: path_name: " + std::string(kRex) +
      "\n";
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      rex_lines + "UpdateDinoCountAll: count: 1\n" + rex_lines + "UpdateDinoCountAll: count: 2\n");
}

}  // namespace
