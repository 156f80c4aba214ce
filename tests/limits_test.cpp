// Count changes and limit checks on the count store.
#include <gtest/gtest.h>

#include "counting/limits.h"
#include "counting/recount.h"
#include "tests/support/plugin_test.h"

namespace {

constexpr int32_t kTeam = 123456;
constexpr int32_t kOther = 234567;
constexpr char kUnlimited[] =
    "Blueprint'/Game/PrimalEarth/Dinos/Dodo/Dodo_Character_BP.Dodo_Character_BP'";

class Limits : public PluginTest {
 protected:
  Limits() { Configure(100); }

  // Rex limited to 10, Raptor to 0, the Dodo not configured.
  void Configure(int max_amount) {
    InstallConfig({{"General", {{"MaxAmount", max_amount}}},
                   {"Dinos", {{kRex, {{"Count", 10}}}, {kRaptor, {{"Count", 0}}}}},
                   {"Debug", false}});
    UpdateDinoCountAll();  // an empty level: the kinds only
  }
  static void Add(const char* path, int32_t team, int32_t change) {
    UpdateDinoCount(FString(path), team, change);
  }
  static int CountOf(const char* path, int32_t team) {
    const auto counts = KindCountsOf(team);
    const auto it = counts.find(path);
    return it == counts.end() ? 0 : it->second;
  }
};

TEST_F(Limits, AKindIsAllowedBelowItsLimitAndTheFlagFollowsThePassing) {
  Add(kRex, kTeam, 9);
  EXPECT_TRUE(DinoAllowed(FString(kRex), kTeam));
  Add(kRex, kTeam, 1);  // the tenth: at the limit, not over it
  EXPECT_FALSE(FlagOf(kTeam));
  EXPECT_FALSE(DinoAllowed(FString(kRex), kTeam));
  EXPECT_TRUE(DinoAllowed(FString(kUnlimited), kTeam));

  Add(kRex, kTeam, 1);  // an eleventh recorded anyway
  EXPECT_TRUE(FlagOf(kTeam));
  EXPECT_FALSE(DinoAllowed(FString(kUnlimited), kTeam));  // the flag refuses every kind

  Add(kRex, kTeam, -1);  // back at the limit
  EXPECT_FALSE(FlagOf(kTeam));
  EXPECT_TRUE(DinoAllowed(FString(kUnlimited), kTeam));
}

TEST_F(Limits, ADecreaseOfAnyKindClearsTheFlagAndNoIncreaseDoes) {
  Add(kRaptor, kTeam, 1);  // over a limit of 0
  ASSERT_TRUE(FlagOf(kTeam));
  Add(kRex, kTeam, 1);
  Add(kRex, kTeam, 0);
  EXPECT_TRUE(FlagOf(kTeam));
  Add(kRex, kTeam, -1);  // another kind, ending within its limit
  EXPECT_FALSE(FlagOf(kTeam));
  EXPECT_EQ(CountOf(kRaptor, kTeam), 1);
}

TEST_F(Limits, TheTotalLimitRefusesEveryKind) {
  Add(kUnlimited, kTeam, 99);
  EXPECT_TRUE(DinoAllowed(FString(kRex), kTeam));
  Add(kUnlimited, kTeam, 1);
  EXPECT_FALSE(DinoAllowed(FString(kRex), kTeam));
  EXPECT_FALSE(DinoAllowed(FString(kUnlimited), kTeam));
  EXPECT_FALSE(DinoAllowed(FString(""), kTeam));
  EXPECT_EQ(TotalOf(kTeam), 100);
}

TEST_F(Limits, ChangesThatWouldGoBelowZeroAreDroppedPerContainer) {
  Add(kUnlimited, kTeam, 2);
  EditConfig([](nlohmann::json& live) { live["Debug"] = true; });
  testing::internal::CaptureStdout();
  Add(kRex, kTeam, -1);
  const std::string lines = testing::internal::GetCapturedStdout();
  EXPECT_EQ(CountOf(kRex, kTeam), 0);
  EXPECT_EQ(TotalOf(kTeam), 1);  // the total still drops
  EXPECT_EQ(lines,
            "UpdateDinoCount: Starting\n"
            "UpdateDinoCount: team_id: 123456\n"
            "UpdateDinoCount: path_name: " +
                std::string(kRex) +
                "\n"
                "UpdateDinoCount: Limit_exceeded: false\n"
                "UpdateDinoCount: CurrentCount: 0\n"
                "UpdateDinoCount: ChangeCount: -1\n"
                "UpdateDinoCount: FinalCount: -1\n"
                "UpdateDinoCount: Finished\n");
  Add(kUnlimited, kTeam, -5);
  EXPECT_EQ(TotalOf(kTeam), 1);
}

TEST_F(Limits, OnlyPlayerTeamsAndRealPathsAreCounted) {
  EditConfig([](nlohmann::json& live) { live["Debug"] = true; });
  testing::internal::CaptureStdout();
  Add(kRex, 50000, 1);
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      "UpdateDinoCount: Starting\nUpdateDinoCount: team_id: 50000\nUpdateDinoCount: path_name: " +
          std::string(kRex) + "\nUpdateDinoCount: Finished\n");
  Add("", kTeam, 1);
  Add(kRex, 50001, 1);
  EXPECT_EQ(TotalOf(50000), 0);
  EXPECT_EQ(TotalOf(kTeam), 0);
  EXPECT_EQ(TotalOf(50001), 1);
  Add(kUnlimited, kTeam, 3);  // a kind that is not configured: the total only
  EXPECT_EQ(TotalOf(kTeam), 3);
  EXPECT_TRUE(KindCountsOf(kTeam).empty());
}

TEST_F(Limits, AMissingTotalLimitRefusesEveryGain) {
  EditConfig([](nlohmann::json& live) { live["General"].erase("MaxAmount"); });
  EXPECT_FALSE(DinoAllowed(FString(kUnlimited), kTeam));
  InstallConfig({{"Dinos", nlohmann::json::object()}});  // no General at all: the same
  EXPECT_FALSE(DinoAllowed(FString(kUnlimited), kTeam));
}

// Limits beyond 32 bits mean "no practical limit" instead of wrapping into a negative number, and
// fractions are cut.
TEST_F(Limits, NumbersOutsideTheRangeAreClampedAndFractionsCut) {
  InstallConfig({{"General", {{"MaxAmount", 99999999999}}},
                 {"Dinos", {{kRex, {{"Count", 3000000000u}}}, {kRaptor, {{"Count", 1.9}}}}}});
  UpdateDinoCountAll();
  Add(kRex, kTeam, 1000000);
  EXPECT_TRUE(DinoAllowed(FString(kRex), kTeam));
  EXPECT_FALSE(FlagOf(kTeam));
  EXPECT_TRUE(DinoAllowed(FString(kRaptor), kTeam));
  Add(kRaptor, kTeam, 1);
  EXPECT_FALSE(DinoAllowed(FString(kRaptor), kTeam));
  EXPECT_EQ(TotalLimitFor({}), 2147483647);
}

TEST_F(Limits, AKindsLimitIsTheOneOfTheConfiguredKindItMatched) {
  // Configured in other letter case than the game spells the path.
  EditConfig([](nlohmann::json& live) {
    live["Dinos"] = {{"Blueprint'/game/primalearth/dinos/rex/rex_character_bp.rex_character_bp'",
                      {{"Count", 2}}}};
  });
  UpdateDinoCountAll();
  Add(kRex, kTeam, 2);
  EXPECT_FALSE(DinoAllowed(FString(kRex), kTeam));
  Add(kRex, kTeam, 1);
  EXPECT_TRUE(FlagOf(kTeam));
}

TEST_F(Limits, MergesPassWhileTheSumsStayWithinTheLimits) {
  Add(kRex, kTeam, 6);
  Add(kRex, kOther, 4);
  EXPECT_TRUE(AllowMergedDinoCounts(kTeam, kOther));
  Add(kRex, kOther, 1);
  EditConfig([](nlohmann::json& live) { live["Debug"] = true; });
  testing::internal::CaptureStdout();
  EXPECT_FALSE(AllowMergedDinoCounts(kTeam, kOther));
  // Kinds in key order: the Raptor (sum 0) before the Rex (sum 11).
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "AllowMergedDinoCounts: Starts\nAllowMergedDinoCounts: count: 0\n"
            "AllowMergedDinoCounts: count: 11\nAllowMergedDinoCounts: Return: false\n");
}

TEST_F(Limits, AMergeMayReachButNotPassTheTotalLimit) {
  Configure(10);
  Add(kUnlimited, kTeam, 6);
  Add(kUnlimited, kOther, 4);
  EXPECT_TRUE(AllowMergedDinoCounts(kTeam, kOther));
  Add(kUnlimited, kOther, 1);
  EditConfig([](nlohmann::json& live) { live["Debug"] = true; });
  testing::internal::CaptureStdout();
  EXPECT_FALSE(AllowMergedDinoCounts(kTeam, kOther));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "AllowMergedDinoCounts: Starts\n");
  const auto entries_before = Store().FindKind(FString(kRex))->teams().size();
  AllowMergedDinoCounts(kTeam, 345678);
  EXPECT_EQ(Store().FindKind(FString(kRex))->teams().size(), entries_before);  // no entries made
}

}  // namespace
