// Cloning: structure uses and clients' net commands, driven through the stand-in game.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/game_facts.h"
#include "sim/game/actions.h"
#include "tests/support/plugin_test.h"

namespace {

namespace actions = sim::actions;

constexpr int32_t kTribe = 200001;

// Alice's tribe owns 3 Rexes (full), far from the cloning chamber at the origin.
class Cloning : public PluginTest {
 protected:
  sim::ShooterPlayerController& BootWithAlice(const nlohmann::json& config = TestConfig()) {
    for (int i = 0; i < 3; ++i) game().AddDino("rex", Kind(kRexPath), kTribe, {5000, 0, 0});
    auto& alice = game().AddPlayer({"alice", 100001, 1, kTribe});
    Boot(config);
    return alice;
  }

  sim::Dino& Near(const char* kind, float distance) {
    return game().AddDino("near", Kind(kind), 300001, {0, distance, 0});
  }

  bool LastCalled() const { return Events("result").back()["called"]; }
  std::vector<std::string> NotificationTexts() const {
    std::vector<std::string> texts;
    for (const auto& n : Events("notification")) texts.push_back(n["text"]);
    return texts;
  }
};

using Texts = std::vector<std::string>;

TEST_F(Cloning, OnlyTheCloningUseIndexSearchesTheChamber) {
  auto& alice = BootWithAlice();
  sim::Structure& chamber = game().AddStructure("chamber");
  Near(kRexPath, 100);
  for (const int32_t index : {game_facts::kCloneUseIndex - 1, game_facts::kCloneUseIndex + 1, 0}) {
    EXPECT_TRUE(actions::UseStructure(alice, chamber, index)) << index;
    EXPECT_TRUE(LastCalled());
  }
  EXPECT_TRUE(Events("notification").empty());

  EXPECT_FALSE(actions::UseStructure(alice, chamber, game_facts::kCloneUseIndex));
  EXPECT_FALSE(LastCalled());
  ASSERT_EQ(NotificationTexts(), Texts({"Restricted creature in range"}));
  EXPECT_EQ(Events("notification")[0]["player"], "alice");
}

TEST_F(Cloning, TheFirstRefusedCreatureInRangeDecidesWithOneMessage) {
  auto& alice = BootWithAlice();
  sim::Structure& chamber = game().AddStructure("chamber", {0, 0, 0});
  EXPECT_TRUE(actions::UseStructure(alice, chamber, game_facts::kCloneUseIndex));  // none in range

  Near(kDodoPath, 100);    // allowed
  Near(kRexPath, 901);     // full, but out of range
  Near(kRaptorPath, 300);  // allowed
  EXPECT_TRUE(actions::UseStructure(alice, chamber, game_facts::kCloneUseIndex));

  Near(kRexPath, 899);  // full, within range
  Near(kRexPath, 200);
  EXPECT_FALSE(actions::UseStructure(alice, chamber, game_facts::kCloneUseIndex));
  EXPECT_EQ(NotificationTexts(), Texts({"Restricted creature in range"}));
}

TEST_F(Cloning, OnlyTeamsAbove50000AreChecked) {
  auto config = TestConfig();
  config["General"]["MaxAmount"] = 0;  // every gain is refused, for any team that is checked
  BootWithAlice(config);
  sim::Structure& chamber = game().AddStructure("chamber");
  sim::Dino& dodo = Near(kDodoPath, 100);
  for (const int32_t team : {0, 50000, 50001}) {
    SCOPED_TRACE(team);
    auto& player = game().AddPlayer({"p" + std::to_string(team), team, 7});
    const bool checked = team > 50000;
    EXPECT_EQ(actions::UseStructure(player, chamber, game_facts::kCloneUseIndex), !checked);
    EXPECT_EQ(actions::NetExec(player, "ServerCloneDino", &dodo), !checked);
  }
  EXPECT_EQ(Events("notification").size(), 2u);
}

TEST_F(Cloning, ANetCommandNamingCloneInAnyCaseIsChecked) {
  auto& alice = BootWithAlice();
  sim::Dino& rex = game().AddDino("rex", Kind(kRexPath), kTribe, {5000, 0, 0});
  struct Case {
    const char* name;
    bool checked;
  };
  for (const Case c :
       {Case{"Clone", true}, Case{"ServerCLONEDino", true}, Case{"requestclone", true},
        Case{"Clon", false}, Case{"Cl one", false}, Case{"ServerCopyDino", false}}) {
    EXPECT_EQ(actions::NetExec(alice, c.name, &rex), !c.checked) << c.name;
    EXPECT_EQ(LastCalled(), !c.checked) << c.name;
  }
  EXPECT_EQ(Events("notification").size(), 3u);

  // A command without a creature passes; so does one with a creature the team has room for.
  EXPECT_TRUE(actions::NetExec(alice, "Clone", nullptr));
  EXPECT_TRUE(actions::NetExec(alice, "Clone", &game().AddDino("dodo", Kind(kDodoPath), 0)));
  EXPECT_EQ(Events("notification").size(), 3u);
}

TEST_F(Cloning, AFailingMessageStillRefusesAndAFailingCheckLetsTheGameDecide) {
  auto& alice = BootWithAlice();
  sim::Structure& chamber = game().AddStructure("chamber");
  sim::Dino& rex = Near(kRexPath, 100);
  EditConfig([](nlohmann::json& live) { live["Messages"]["RestrictedInRange"] = "{"; });
  EXPECT_FALSE(actions::UseStructure(alice, chamber, game_facts::kCloneUseIndex));
  EXPECT_FALSE(actions::NetExec(alice, "Clone", &rex));

  game().set_failing("UObjectBaseUtility.GetFullName");  // the check itself fails
  EXPECT_TRUE(actions::UseStructure(alice, chamber, game_facts::kCloneUseIndex));
  EXPECT_TRUE(actions::NetExec(alice, "Clone", &rex));

  EXPECT_TRUE(Events("notification").empty());
  EXPECT_EQ(LogTexts("error").size(), 4u);
  EXPECT_TRUE(Events("crash").empty());
}

}  // namespace
