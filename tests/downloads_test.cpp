// Downloads of uploaded creatures, driven through the stand-in game.
#include <string>

#include <gtest/gtest.h>

#include "sim/game/actions.h"
#include "tests/support/plugin_test.h"

namespace {

namespace actions = sim::actions;

constexpr int32_t kTribe = 200001;
constexpr char kRequest[] = "AShooterPlayerController.ServerRequestDownloadDino_Implementation";

// Alice's tribe owns 3 Rexes (full) and 4 Raptors (one below the limit of 5).
class Downloads : public PluginTest {
 protected:
  Downloads() {
    for (int i = 0; i < 3; ++i) game().AddDino("rex", Kind(kRexPath), kTribe);
    for (int i = 0; i < 4; ++i) game().AddDino("raptor", Kind(kRaptorPath), kTribe);
  }

  // Whether the game's own function ran in the last call of `function`.
  bool Called(const std::string& function) const {
    const nlohmann::json result = LastResult(function);
    if (result.is_null()) ADD_FAILURE() << "no call of " << function;
    return result.is_object() && result["called"] == true;
  }

  // Every field of a record the game received against the one the action sent.
  static void ExpectSameRecord(const UploadedDinoRecord& got, const UploadedDinoRecord& sent) {
    EXPECT_EQ(got.Version, sent.Version);
    EXPECT_EQ(ToUtf8(got.DinoName), ToUtf8(sent.DinoName));
    EXPECT_EQ(got.DinoClass, sent.DinoClass);
    EXPECT_EQ(std::vector<uint8_t>(got.DinoData.begin(), got.DinoData.end()),
              std::vector<uint8_t>(sent.DinoData.begin(), sent.DinoData.end()));
    EXPECT_EQ(ToUtf8(got.DinoNameInMap), ToUtf8(sent.DinoNameInMap));
    EXPECT_EQ(ToUtf8(got.TamerName), ToUtf8(sent.TamerName));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(ToUtf8(got.Stats[i]), ToUtf8(sent.Stats[i])) << i;
    EXPECT_EQ(got.DinoID1, sent.DinoID1);
    EXPECT_EQ(got.DinoID2, sent.DinoID2);
    EXPECT_EQ(got.UploadTime, sent.UploadTime);
    EXPECT_EQ(got.Flags, sent.Flags);
  }
};

TEST_F(Downloads, ARequestAtTheLimitIsRefusedAndOneBelowPassesAndCounts) {
  auto& alice = game().AddPlayer({"alice", 100001, 1, kTribe});
  Boot(TestConfig());

  actions::RequestDownload(alice, Kind(kRexPath));
  EXPECT_FALSE(Called(kRequest));
  ASSERT_EQ(Events("notification").size(), 1u);
  EXPECT_EQ(Events("notification")[0]["text"], "Limit reached");
  EXPECT_EQ(Events("notification")[0]["player"], "alice");
  EXPECT_TRUE(game().received_uploads().empty());

  actions::RequestDownload(alice, Kind(kRaptorPath));
  EXPECT_TRUE(Called(kRequest));
  EXPECT_TRUE(actions::Download(alice, Kind(kRaptorPath)));
  EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{kRex, 3}, {kRaptor, 5}}));
  EXPECT_EQ(TotalOf(kTribe), 8);
  EXPECT_EQ(Events("notification").size(), 1u);

  // Both game functions got the record whole, strings and byte array included.
  ASSERT_EQ(game().received_uploads().size(), 2u);
  for (const UploadedDinoRecord& got : game().received_uploads())
    ExpectSameRecord(got, actions::MakeUploadedRecord(Kind(kRaptorPath)));
}

TEST_F(Downloads, APlayerWithoutATeamIsNeitherCheckedNorCounted) {
  auto config = TestConfig();
  config["General"]["MaxAmount"] = 0;  // every gain is refused, for any team that is checked
  auto& loner = game().AddPlayer({"loner", 0, 1});
  Boot(config);

  actions::RequestDownload(loner, Kind(kRexPath));
  EXPECT_TRUE(Called(kRequest));
  EXPECT_TRUE(actions::Download(loner, Kind(kRexPath)));
  EXPECT_TRUE(Events("notification").empty());
  EXPECT_FALSE(Store().KnowsTeam(0));
}

TEST_F(Downloads, AFailedDownloadCountsNothing) {
  auto& alice = game().AddPlayer({"alice", 100001, 1, kTribe});
  Boot(TestConfig());
  sim::Class* not_a_creature = game().ItemClass("/Game/Items/Saddle.Saddle");
  EXPECT_FALSE(actions::Download(alice, *not_a_creature));
  EXPECT_EQ(TotalOf(kTribe), 7);
}

TEST_F(Downloads, ASetUpCreatureCountsOnlyForAPlayerTeam) {
  Boot(TestConfig());
  for (const int32_t team : {0, 50000, 50001}) {
    SCOPED_TRACE(team);
    actions::InitDownloaded(game().AddDino("downloaded", Kind(kRexPath), 0), team);
    EXPECT_TRUE(Called("APrimalDinoCharacter.InitDownloadedTamedDino"));
  }
  EXPECT_EQ(TotalOf(50001), 1);
  EXPECT_EQ(KindCountsOf(50001), (std::map<std::string, int>{{kRex, 1}}));
  EXPECT_FALSE(Store().KnowsTeam(50000));
  EXPECT_TRUE(Events("notification").empty());
}

TEST_F(Downloads, AFailingCheckLetsTheGameDecide) {
  auto& alice = game().AddPlayer({"alice", 100001, 1, kTribe});
  Boot(TestConfig());
  game().set_failing("UObjectBaseUtility.GetFullName");  // no path can be read

  actions::RequestDownload(alice, Kind(kRexPath));
  EXPECT_TRUE(Called(kRequest));
  EXPECT_TRUE(actions::Download(alice, Kind(kRexPath)));
  actions::InitDownloaded(game().AddDino("downloaded", Kind(kRexPath), 0), kTribe);
  EXPECT_TRUE(Called("APrimalDinoCharacter.InitDownloadedTamedDino"));

  EXPECT_EQ(LogTexts("error").size(), 3u);  // the request's check; both counts
  EXPECT_TRUE(Events("crash").empty());
  EXPECT_EQ(game().received_uploads().size(), 2u);
}

}  // namespace
