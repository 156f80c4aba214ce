// Limits by permission group, through the stand-in with the plug-in loaded: which tier decides,
// what a tier overrides and inherits, its form of the flag, merges by the inviter's tier, and an
// Unlimited tier on every road.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/script_test.h"

namespace {

using nlohmann::json;

const std::string kRexKind = kRexPath;
const std::string kRaptorKind = kRaptorPath;

// Rex and Raptor limited to 1, 3 creatures in all; Staff unlimited; VIP: 3 Rexes, 5 in all, the
// Raptor's limit inherited.
json TierConfig() {
  json config = SimTest::TestConfig();
  config["General"]["MaxAmount"] = 3;
  config["Dinos"][kRex]["Count"] = 1;
  config["Dinos"][kRaptor]["Count"] = 1;
  config["Tiers"] = {{{"Group", "Staff"}, {"Unlimited", true}},
                     {{"Group", "VIP"}, {"MaxAmount", 5}, {"Dinos", {{kRex, {{"Count", 3}}}}}}};
  return config;
}

class Tiers : public ScriptTest {
 protected:
  void Start(const json& config, const std::vector<std::string>& world) {
    WriteConfig(config);
    ASSERT_TRUE(Run(world));
    ASSERT_TRUE(Run({"start", "load"}));
    ASSERT_EQ(Events("load").at(0)["ok"], true);
  }
  // Runs one action; whether the game's function it gates ran, and the refusal line, if any.
  std::pair<bool, std::string> Try(const std::string& line, const char* function) {
    events().Clear();
    EXPECT_TRUE(Run({line}));
    std::pair<bool, std::string> seen{true, ""};
    for (const json& event : events().all()) {
      if (event["event"] == "result" && event["function"] == function &&
          !event["called"].get<bool>())
        seen.first = false;
      if (event["event"] == "result" && event["function"] == "AShooterGameState.AllowDinoTame" &&
          event["value"] == false)
        seen.first = false;
      if (event["event"] == "log" &&
          event["text"].get<std::string>().find(" refused for ") != std::string::npos)
        seen.second = event["text"];
    }
    return seen;
  }
};

std::vector<std::string> Wild(const std::string& kind, int n, const std::string& prefix) {
  std::vector<std::string> lines;
  for (int i = 1; i <= n; ++i)
    lines.push_back("dino " + prefix + std::to_string(i) + " kind=" + kind);
  return lines;
}

TEST_F(Tiers, TheFirstTierOfTheActingPlayerDecidesWithItsOwnAndInheritedLimits) {
  std::vector<std::string> world = {
      "player plain id=100001 tribe=200002",
      "player vip id=100002 tribe=200002 groups=VIP",
      "player both id=100003 tribe=200003 groups=VIP,Staff",
      "player nobody id=100004 steam=0 groups=VIP",
  };
  for (const auto& line : Wild(kRexKind, 6, "rex")) world.push_back(line);
  for (const auto& line : Wild(kRaptorKind, 3, "raptor")) world.push_back(line);
  Start(TierConfig(), world);
  const std::string plain = " refused for team 200002 (plain, Steam id 76561197960365729): ";
  const std::string vip = " refused for team 200002 (vip, Steam id 76561197960365730): ";
  struct Step {
    std::string line;
    bool allowed;
    std::string refusal;  // the end of the refusal line
  };
  const Step steps[] = {
      {"tame plain rex1", true, ""},
      {"tame plain rex2", false, plain + kRex + " (kind limit 1/1)"},
      {"tame vip rex2", true, ""},  // the tier's 3 Rexes
      {"tame vip rex3", true, ""},
      {"tame vip rex4", false, vip + kRex + " (kind limit 3/3, tier VIP)"},
      // Over the base Rex limit: refused anything without a tier; within the tier's, not.
      {"tame plain raptor1", false, plain + kRaptor + " (over the kind limit of Rex 3/1)"},
      {"tame vip raptor1", true, ""},  // the Raptor's limit of 1 inherited
      {"tame vip raptor2", false, vip + kRaptor + " (kind limit 1/1, tier VIP)"},
      {"tame both rex4", true, ""},  // Staff comes first in "Tiers": unlimited
      {"tame both rex5", true, ""},
      {"tame nobody rex6", true, ""},  // a Steam id of 0 has no tier: the base limits
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.line);
    const auto [allowed, refusal] = Try(step.line, "APrimalDinoCharacter.TameDino");
    EXPECT_EQ(allowed, step.allowed);
    EXPECT_TRUE(refusal.ends_with(step.refusal)) << refusal;
  }
  // The groups were asked in file order, until the first that answered; never for Steam id 0.
  std::vector<std::string> asked;
  for (const std::string& call : server().trace()) {
    if (call.starts_with("IsPlayerHasPermission")) asked.push_back(call);
  }
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "IsPlayerHasPermission 0 VIP"), 0);
  const auto asked_of = [&](const std::string& call) {
    return std::count(asked.begin(), asked.end(), "IsPlayerHasPermission " + call);
  };
  EXPECT_EQ(asked_of("0 VIP") + asked_of("0 Staff"), 0);
  EXPECT_GT(asked_of("76561197960365730 Staff"), 0);  // vip: Staff first, then VIP
  EXPECT_GT(asked_of("76561197960365730 VIP"), 0);
  EXPECT_GT(asked_of("76561197960365731 Staff"), 0);  // both: Staff answered
  EXPECT_EQ(asked_of("76561197960365731 VIP"), 0);
}

// Tiers that repeat their groups cost one permission question per group, not per tier, and the
// first tier of the player's group still decides: a later tier of that group never does.
TEST_F(Tiers, EachGroupIsAskedOnceWhateverTheNumberOfTiers) {
  json config = TierConfig();
  json tiers = json::array();
  for (int i = 0; i < 30; ++i)
    tiers.push_back({{"Group", std::string(1, static_cast<char>('A' + i % 3))}, {"MaxAmount", 0}});
  tiers.push_back({{"Group", "VIP"}, {"MaxAmount", 5}, {"Dinos", {{kRex, {{"Count", 3}}}}}});
  tiers.push_back({{"Group", "VIP"}, {"Unlimited", true}});  // never decides
  tiers.push_back({{"Group", "A"}, {"Unlimited", true}});
  config["Tiers"] = tiers;
  std::vector<std::string> world = {"player plain id=100001 tribe=200002",
                                    "player vip id=100002 tribe=200003 groups=VIP"};
  for (const auto& line : Wild(kRexKind, 5, "rex")) world.push_back(line);
  Start(config, world);
  const auto asked = [&](const std::string& who, const std::string& group) {
    return std::count(server().trace().begin(), server().trace().end(),
                      "IsPlayerHasPermission " + who + " " + group);
  };
  const std::string plain = "76561197960365729", vip = "76561197960365730";
  server().ClearTrace();
  EXPECT_EQ(Try("tame plain rex1", "APrimalDinoCharacter.TameDino").first, true);
  const auto per_group = asked(plain, "A");
  EXPECT_GT(per_group, 0);
  for (const char* group : {"B", "C", "VIP"}) EXPECT_EQ(asked(plain, group), per_group) << group;
  server().ClearTrace();
  for (const char* dino : {"rex2", "rex3", "rex4"})
    EXPECT_EQ(Try(std::string("tame vip ") + dino, "APrimalDinoCharacter.TameDino").first, true);
  EXPECT_EQ(asked(vip, "VIP"), asked(vip, "A"));
  const auto [allowed, refusal] = Try("tame vip rex5", "APrimalDinoCharacter.TameDino");
  EXPECT_FALSE(allowed);
  EXPECT_TRUE(refusal.ends_with(" (kind limit 3/3, tier VIP)")) << refusal;
}

// A merge or invitation is checked against the inviter's tier.
TEST_F(Tiers, AJoinIsCheckedAgainstTheInvitersTier) {
  Start(TierConfig(),
        {"player plain id=100001 tribe=200001", "player vip id=100002 tribe=200001 groups=VIP",
         "player other id=100003 tribe=200002", "dino a kind=" + kRexKind + " team=200001",
         "dino b kind=" + kRexKind + " team=200002"});
  EXPECT_EQ(Try("merge plain other", "AShooterPlayerState.AddToTribe"),
            std::make_pair(false, "Merge refused for teams 200001 and 200002: " +
                                      std::string(kRex) + " (kind limit 2/1)"));
  EXPECT_EQ(Try("merge vip other", "AShooterPlayerState.AddToTribe").first, true);
}

// An Unlimited tier is refused on no road, admin spawns included, and its gains still count.
TEST_F(Tiers, AnUnlimitedTierIsRefusedNowhere) {
  json config = TierConfig();
  config["General"]["MaxAmount"] = 0;  // every other player is refused everything
  Start(config, {
                    "player staff id=100001 tribe=200001 groups=Staff",
                    "player other id=100002 tribe=200002",
                    "dino w1 kind=" + kRexKind,
                    "dino w2 kind=" + kRexKind,
                    "dino near kind=" + kRexKind + " team=200001 at=5100,0,0",
                    "structure chamber at=5000,0,0",
                    "cryopod pod holds=" + kRexKind,
                    "soultrap trap holds=" + kRexKind,
                    "item kit kind=/Game/Extinction/CoreBlueprints/Items/"
                    "PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek type=4 consumable=3",
                });
  const std::pair<const char*, const char*> roads[] = {
      {"tame staff w1", "APrimalDinoCharacter.TameDino"},
      {"claim staff w2", "APrimalDinoCharacter.TryMultiUse"},
      {"equip staff pod", "AShooterCharacter.OnWeaponEquipped"},
      {"equip staff trap", "AShooterCharacter.OnWeaponEquipped"},
      {"use staff kit", "UPrimalItem.AllowUseInInventory"},
      {"request_download staff /Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP",
       "AShooterPlayerController.ServerRequestDownloadDino_Implementation"},
      {"clone staff chamber", "APrimalStructure.TryMultiUse"},
      {"netexec staff ServerRequestClone near", "AActor.BPServerHandleNetExecCommand"},
      {"spawn staff Blueprint'/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP'",
       "AShooterPlayerController.SpawnActor"},
      {"invite staff other", "AShooterPlayerState.AddToTribe"},
  };
  for (const auto& [line, function] : roads) {
    SCOPED_TRACE(line);
    EXPECT_EQ(Try(line, function), std::make_pair(true, std::string()));
    EXPECT_TRUE(Events("unequip").empty());
  }
  events().Clear();
  ASSERT_TRUE(Run({"chat staff /limits"}));
  EXPECT_EQ(Events("chat").at(0)["text"], "Raptor: 0/1\nRex: 3/1\nTotal: 3/0");
}

}  // namespace
