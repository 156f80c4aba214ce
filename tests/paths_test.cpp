// Team identity and blueprint paths, as the game's objects give them.
#include <gtest/gtest.h>

#include "counting/blueprint_path.h"
#include "counting/team_identity.h"
#include "tests/support/plugin_test.h"

namespace {

TEST(BlueprintPath, FollowsTheFullNameRules) {
  struct Case {
    std::u16string full_name;
    std::u16string path;
  };
  const Case cases[] = {
      {u"Beast_BP_C /Game/Creatures/Beast/Beast_BP.Default__Beast_BP_C",
       u"Blueprint'/Game/Creatures/Beast/Beast_BP.Beast_BP'"},
      {u"Beast /Script/Game.Default__Beast", u"Blueprint'/Script/Game.Beast'"},
      {u"Beast_c /Game/X.Default__Beast_c", u"Blueprint'/Game/X.Beast_c'"},  // "_c" is kept
      {u"A_C /Game/Default__Dir/A.Default__A_C", u"Blueprint'/Game/Dir/A.A'"},
      {u"A_C /Game/My Dir/A.Default__A_C", u"Blueprint'/Game/My Dir/A.A'"},  // first space splits
      {u"X _C", u"Blueprint''"},
      {u"X_C /Game/DefaDefault__ult__X.Y_C", u"Blueprint'/Game/Default__X.Y'"},  // no rescan
      {u"NoSpaceAtAll", u""},
      {u"Trailing ", u"Blueprint''"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.full_name.begin(), c.full_name.end()));
    EXPECT_EQ(BlueprintPathFromFullName(c.full_name).View(), c.path);
  }
}

TEST(FindIgnoreCase, FindsTheFirstOccurrenceIgnoringCase) {
  struct Case {
    const char* text;
    const char* pattern;
    int32_t index;
  };
  const Case cases[] = {
      {"Hello_World", "world", 6},
      {"Hello_World", "LO_w", 3},
      {"abc", "x", -1},
      {"abc", "", -1},
      {"", "a", -1},
      {"abcabc", "CA", 2},
      {"ab", "abc", -1},
      {"soultrap_ds_c /Game/Mods/X", "SoulTrap_DS_C", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
    EXPECT_EQ(FindIgnoreCase(FString(c.text), FString(c.pattern)), c.index);
  }
}

class Identity : public PluginTest {
 protected:
  Identity() { InstallConfig({{"Debug", true}}); }
};

TEST_F(Identity, ATeamIsTheTribeInATribeAndThePlayerOtherwise) {
  auto& in_tribe = game().AddPlayer({"alice", 100001, 1, 200001});
  auto& solo = game().AddPlayer({"carol", 100003, 3, 0});
  testing::internal::CaptureStdout();
  EXPECT_EQ(GetTeamID(PlayerStateOf(sim::ToHost<AController>(&in_tribe))), 200001);
  EXPECT_EQ(GetTeamID(PlayerStateOf(sim::ToHost<AController>(&solo))), 100003);
  EXPECT_EQ(GetTeamID(nullptr), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "GetTeamID return tribe_id: 200001\nGetTeamID: return player_id: 100003\n");
}

TEST_F(Identity, PathsOfObjectsAndClassesAgree) {
  sim::Dino& rex = game().AddDino("rex", Kind(kRexPath), 0);
  sim::Class& named = game().CreatureClassNamed("Odd_C /Game/Mods/Odd Pack/Odd.Default__Odd_C");
  sim::Dino& odd = game().AddDino("odd", named, 0);
  EXPECT_EQ(GetBlueprintPath(sim::ToHost<UObjectBase>(&rex)), FString(kRex));
  EXPECT_EQ(GetClassBlueprintPath(rex.cls), FString(kRex));
  EXPECT_EQ(GetBlueprintPath(sim::ToHost<UObjectBase>(&odd)).View(),
            u"Blueprint'/Game/Mods/Odd Pack/Odd.Odd'");
  EXPECT_TRUE(GetBlueprintPath(nullptr).IsEmpty());
  EXPECT_TRUE(GetClassBlueprintPath(nullptr).IsEmpty());
}

}  // namespace
