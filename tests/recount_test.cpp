// The full recount: from the configuration and the level into the count store.
#include <gtest/gtest.h>

#include "counting/limits.h"
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
  for (int32_t team : {0, 50000, 2000000000}) EXPECT_FALSE(Store().KnowsTeam(team)) << team;
  // A configured kind without creatures has a key and no counts.
  EXPECT_TRUE(Store().FindKind(FString(kRaptor))->teams().empty());
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
  ASSERT_EQ(Store().KindCount(), 1u);
  EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{"Blueprint'/Game/A.A'", 2}}));
  EXPECT_TRUE(FlagOf(kTribe));  // the first spelling's limit of 1 applies to both
}

TEST_F(Recount, RunningTwiceGivesTheSameStore) {
  AddDinos(kRexPath, kTribe, 4);
  AddDinos(kRaptorPath, 300001, 2);
  Boot(TestConfig());
  const DinoCountStore first = std::move(Store());
  UpdateDinoCountAll();
  EXPECT_TRUE(Store() == first);
}

TEST_F(Recount, ALoadIntoAStartingWorldCountsWhenTheWorldStarts) {
  AddDinos(kRexPath, kTribe, 2);
  Boot(TestConfig(), /*start=*/false);
  EXPECT_FALSE(Store().KnowsTeam(kTribe));
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

// A recount is built aside: one that fails, for whatever reason, leaves the counts it found.
TEST_F(Recount, AFailedRecountLeavesTheCountsAsTheyWere) {
  AddDinos(kRexPath, kTribe, 1);
  Boot(TestConfig());
  AddDinos(kDodoPath, kTribe, 1);  // a creature the failing recounts would find
  const auto expect_unchanged = [this] {
    EXPECT_EQ(TotalOf(kTribe), 1);
    EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{kRex, 1}}));
  };
  game().set_failing("UObjectBaseUtility.GetFullName");
  EXPECT_THROW(UpdateDinoCountAll(), std::runtime_error);
  expect_unchanged();

  // With new settings the kinds are made anew, aside as well.
  game().set_failing("UObjectBaseUtility.IsA");
  EditConfig([](nlohmann::json& live) { live["Dinos"][kDodo] = {{"Count", 5}}; });
  EXPECT_THROW(UpdateDinoCountAll(), std::runtime_error);
  expect_unchanged();
  EXPECT_EQ(Store().FindKind(FString(kDodo)), nullptr);
}

TEST_F(Recount, AFailingCountAtWorldStartIsLoggedAndTheGameGoesOn) {
  Boot(TestConfig(), /*start=*/false);
  AddDinos(kRexPath, kTribe, 1);
  game().set_failing("UObjectBaseUtility.IsA");
  server().Start();
  game().set_failing("");
  EXPECT_EQ(LogTexts("error"),
            std::vector<std::string>{"UpdateDinoCountAll: UObjectBaseUtility.IsA failed"});
  EXPECT_TRUE(Events("crash").empty());
  EXPECT_EQ(Events("result").back()["called"], true);
  EXPECT_EQ(server().server_state(), 1);
}

// A reload whose recount fails after the check passed the file puts the previous configuration
// and counts back before it answers.
TEST_F(Recount, AFailingCountAfterAReloadPutsEverythingBack) {
  AddDinos(kRexPath, kTribe, 3);
  Boot(TestConfig());  // Rex limited to 3: at the limit
  events().Clear();
  auto config = TestConfig();
  config["Dinos"][kRex]["Count"] = 10;
  config["General"]["IgnoreAdmin"] = !CurrentSettings().general.ignore_admin;
  WriteConfig(config);
  const nlohmann::json before = PluginConfig();
  const bool flag_before = CurrentSettings().general.ignore_admin;

  game().set_failing("UObjectBaseUtility.IsA");
  const auto replies = server().Rcon("tw.reload");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text, "UObjectBaseUtility.IsA failed\nthe running configuration was kept");
  auto& admin = game().AddPlayer({"admin", 100001, 1, 0});
  server().Console(admin, "tw.reload");
  EXPECT_EQ(Events("server_message").back()["text"], "Failed to reload config");
  game().set_failing("");

  EXPECT_EQ(PluginConfig(), before);
  EXPECT_EQ(CurrentSettings().general.ignore_admin, flag_before);
  EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{kRex, 3}}));
  EXPECT_FALSE(DinoAllowed(FString(kRex), kTribe));  // still the old limit of 3
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>(2, "UpdateDinoCountAll: UObjectBaseUtility.IsA failed")));
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
