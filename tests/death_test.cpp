// Creatures leaving the counts when they die or are removed from the world.
#include <gtest/gtest.h>

#include "counting/limits.h"
#include "counting/recount.h"
#include "tests/support/hook_test.h"

namespace {

using sim::actions::Destroy;
using sim::actions::Die;

class Death : public HookTest {};

TEST_F(Death, ACreatureIsTakenOffOnceWhenItDiesAndNotAgainWhenItsBodyGoes) {
  AddDinos(kRexPath, kTeam, 2);
  sim::Dino& rex = game().AddDino("rex", Kind(kRexPath), kTeam);
  sim::Dino& dodo = game().AddDino("dodo", Kind(kDodoPath), kTeam);
  Boot(TestConfig());
  ASSERT_EQ(TotalOf(kTeam), 4);

  EXPECT_TRUE(Die(rex));
  EXPECT_FALSE(Die(rex));  // no second death
  Destroy(rex);
  EXPECT_EQ(KindCountsOf(kTeam), (std::map<std::string, int>{{kRex, 2}}));
  EXPECT_TRUE(Die(dodo));  // a kind without a limit still leaves the total
  EXPECT_EQ(TotalOf(kTeam), 2);
  ExpectCountsMatchTheWorld(kTeam);
}

TEST_F(Death, ALivingCreatureRemovedFromTheWorldIsTakenOff) {
  AddDinos(kRaptorPath, kTeam, 2);
  sim::Dino& raptor = game().AddDino("raptor", Kind(kRaptorPath), kTeam);
  Boot(TestConfig());
  Destroy(raptor);
  EXPECT_EQ(KindCountsOf(kTeam), (std::map<std::string, int>{{kRaptor, 2}}));
  EXPECT_EQ(LastResult("APrimalDinoCharacter.Destroyed")["called"], true);
  ExpectCountsMatchTheWorld(kTeam);
}

TEST_F(Death, OnlyPlayerTeamsAreTakenOffAndTeam2000000000OnlyWhenDestroyedAlive) {
  struct Case {
    int32_t team;
    bool dies;  // else it is destroyed alive
    int total_after;
  };
  const Case cases[] = {{50000, true, 0},  {50000, false, 0},     {50001, true, 0},
                        {50001, false, 0}, {2000000000, true, 1}, {2000000000, false, 0}};
  Boot(TestConfig());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.team << (c.dies ? " dies" : " destroyed"));
    UpdateDinoCountAll();                        // from the world's counts: none for these teams
    UpdateDinoCount(FString(kDodo), c.team, 1);  // counted as a tame would count it
    sim::Dino& dodo = game().AddDino("dodo", Kind(kDodoPath), c.team);
    if (c.dies)
      Die(dodo);
    else
      Destroy(dodo);
    EXPECT_EQ(TotalOf(c.team), c.total_after);
  }
}

}  // namespace
