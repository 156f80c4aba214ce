// Admin spawns under the team's limits, and the admin commands "UpdateDinos" and "GetDinoBp".
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/game/actions.h"
#include "tests/support/plugin_test.h"

namespace {

constexpr int32_t kTribe = 200001;
constexpr uint64_t kSteamId = 76561198000000001;
const std::string kAskedAdmins = "IsPlayerHasPermission " + std::to_string(kSteamId) + " Admins";

class AdminSpawn : public PluginTest {
 protected:
  // An admin in the "Admins" group whose tribe already owns as many Rexes as it may.
  void Start(bool ignore_admin, uint64_t steam_id = kSteamId, int32_t player_id = 100001,
             int32_t tribe = kTribe) {
    admin_ = &game().AddPlayer({"admin", player_id, steam_id, tribe});
    server().AddToGroup(kSteamId, "Admins");
    for (int i = 0; i < 3; ++i) game().AddDino("rex", Kind(kRexPath), kTribe);
    auto config = TestConfig();
    config["General"]["IgnoreAdmin"] = ignore_admin;
    Boot(config);
    server().ClearTrace();
  }

  bool PermissionAsked() {
    return std::ranges::any_of(server().trace(), [](const std::string& call) {
      return call.starts_with("IsPlayerHasPermission");
    });
  }
  nlohmann::json LastResult() const { return Events("result").back(); }

  sim::ShooterPlayerController* admin_ = nullptr;
};

TEST_F(AdminSpawn, AnExemptAdminSpawnsOverTheLimitWithoutACheck) {
  Start(/*ignore_admin=*/true);
  EditConfig([](nlohmann::json& live) { live["Debug"] = true; });

  testing::internal::CaptureStdout();
  AActor* spawned = sim::actions::Spawn(*admin_, kRex);
  const std::string lines = testing::internal::GetCapturedStdout();

  EXPECT_NE(spawned, nullptr);
  EXPECT_TRUE(LastResult()["called"]);
  EXPECT_EQ(server().trace(), std::vector<std::string>{kAskedAdmins});
  EXPECT_EQ(lines, "Hook_AShooterPlayerController_SpawnActor\n");
  EXPECT_TRUE(Events("notification").empty());
}

// Whoever is not exempt is refused at the limit with "ReachLimit", and the game spawns nothing.
// The group is asked only when it can matter.
struct Refused {
  const char* name;
  bool ignore_admin;
  uint64_t steam_id;
  const char* path;
  bool asked;
};

void PrintTo(const Refused& c, std::ostream* os) { *os << c.name; }

class RefusedSpawn : public AdminSpawn, public testing::WithParamInterface<Refused> {};

TEST_P(RefusedSpawn, AtTheLimit) {
  const Refused& c = GetParam();
  Start(c.ignore_admin, c.steam_id);

  EXPECT_EQ(sim::actions::Spawn(*admin_, c.path), nullptr);

  EXPECT_FALSE(LastResult()["called"]);
  EXPECT_EQ(PermissionAsked(), c.asked);
  const auto notes = Events("notification");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0]["player"], "admin");
  EXPECT_EQ(notes[0]["text"], "Limit reached");
  EXPECT_EQ(notes[0]["color"], nlohmann::json({1.0, 0.0, 0.0, 1.0}));
}

INSTANTIATE_TEST_SUITE_P(
    Admins, RefusedSpawn,
    testing::Values(
        Refused{"ExemptionOff", false, kSteamId, kRex, false},
        Refused{"NoPlatformId", true, 0, kRex, false},
        Refused{"NotInTheGroup", true, kSteamId + 1, kRex, true},
        // Found as the configured kind, and limited as that kind.
        Refused{"PathInAnotherLetterCase", false, kSteamId,
                "blueprint'/game/primalearth/dinos/rex/rex_character_bp.rex_character_bp'", false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(AdminSpawn, APlayerWithoutATeamSpawnsWithoutALimit) {
  Start(/*ignore_admin=*/false, kSteamId, /*player_id=*/0, /*tribe=*/0);
  EditConfig(
      [](nlohmann::json& config) { config["General"]["MaxAmount"] = 0; });  // would refuse any team

  AActor* spawned = sim::actions::Spawn(*admin_, kRex);

  EXPECT_NE(spawned, nullptr);
  EXPECT_EQ(LastResult()["value"], sim::FromHost<sim::Object>(spawned)->name);
  EXPECT_TRUE(Events("notification").empty());
}

TEST_F(AdminSpawn, ABrokenCheckSpawnsNothingAndIsLogged) {
  Start(/*ignore_admin=*/false);
  EditConfig([](nlohmann::json& live) {
    live["General"]["MaxAmount"] = 0;               // refused,
    live["Messages"]["ReachLimit"] = "100% {full";  // and the refusal cannot be told
  });

  EXPECT_EQ(sim::actions::Spawn(*admin_, kRaptor), nullptr);

  EXPECT_FALSE(LastResult()["called"]);
  EXPECT_TRUE(Events("crash").empty());
  // The failure's own text, nothing added.
  EXPECT_EQ(LogTexts("error"), std::vector<std::string>{FormatErrorOf(L"100% {full")});
}

class AdminCommands : public PluginTest {
 protected:
  AdminCommands() {
    Boot(TestConfig());
    events().Clear();  // the load's own lines
  }

  // A creature the last recount has not seen.
  sim::Dino& NewRex(int32_t team) { return game().AddDino("rex", Kind(kRexPath), team); }

  sim::ShooterPlayerController& admin_ = game().AddPlayer({"admin", 100001, kSteamId, kTribe});
};

TEST_F(AdminCommands, UpdateDinosRecountsForALivingAdminOnly) {
  NewRex(kTribe);
  admin_.dead = true;
  EXPECT_TRUE(server().Console(admin_, "UpdateDinos"));
  EXPECT_EQ(TotalOf(kTribe), 0);

  admin_.dead = false;
  EXPECT_TRUE(server().Console(admin_, "UpdateDinos"));
  EXPECT_EQ(TotalOf(kTribe), 1);
  EXPECT_EQ(KindCountsOf(kTribe), (std::map<std::string, int>{{kRex, 1}}));
  EXPECT_TRUE(Events("chat").empty());
  EXPECT_TRUE(Events("server_message").empty());
}

// The answer goes on with the recount's line, which the log has too.
TEST_F(AdminCommands, UpdateDinosOverRconAnswersWithTheRequestId) {
  const auto first = server().Rcon("UpdateDinos", 17);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].id, 17);
  EXPECT_EQ(MaskRecountTime(first[0].text),
            "Updated All Dinos\nRecount (UpdateDinos): 0 creatures of 0 teams in # ms, 0 team "
            "counts corrected");

  NewRex(kTribe);
  const std::string line =
      "Recount (UpdateDinos): 1 creature of 1 team in # ms, 1 team count corrected";
  EXPECT_EQ(MaskRecountTime(server().Rcon("UpdateDinos", 18)[0].text),
            "Updated All Dinos\n" + line);
  EXPECT_EQ(MaskRecountTime(LogTexts("info").back()), line);
  EXPECT_EQ(TotalOf(kTribe), 1);
}

// A failed recount is reported, on RCON as the answer instead of the success text.
TEST_F(AdminCommands, AFailedRecountIsLoggedAndAnsweredWithTheError) {
  NewRex(kTribe);
  game().set_failing("UObjectBaseUtility.IsA");
  const std::string error = "UObjectBaseUtility.IsA failed";

  const auto replies = server().Rcon("UpdateDinos", 9);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text, error);
  EXPECT_TRUE(server().Console(admin_, "UpdateDinos"));

  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"UpdateDinos: " + error, "UpdateDinos: " + error}));
  EXPECT_TRUE(Events("crash").empty());
}

TEST_F(AdminCommands, GetDinoBpAnswersThePathOfAnyAimedCreature) {
  admin_.character->aimed = &NewRex(0);  // wild: ownership does not matter

  EXPECT_TRUE(server().Console(admin_, "GetDinoBp"));

  const auto chats = Events("chat");
  ASSERT_EQ(chats.size(), 1u);
  EXPECT_EQ(chats[0], (nlohmann::json{{"event", "chat"},
                                      {"line", 0},
                                      {"player", "admin"},
                                      {"sender", "Tamewarden"},
                                      {"text", kRex}}));
  EXPECT_EQ(LogTexts("info"), std::vector<std::string>{kRex});
  const sim::AimQuery& query = admin_.character->last_aim_query.value();
  EXPECT_EQ(query.channel, 6);
  EXPECT_FALSE(query.hit_component || query.hit_body_index || query.out_hit);
  EXPECT_EQ(query.max_distance, 0.0f);
  EXPECT_EQ(query.check_radius, 0.0f);
  EXPECT_FALSE(query.force_use_camera || query.ignore_selected || query.use_view);
}

// A path is data: braces in it reach the chat and the log as they stand in the game.
TEST_F(AdminCommands, GetDinoBpAnswersAPathWithBracesAsItIs) {
  for (const std::string object : {"{Odd}", "Odd}{", "{{0}}"}) {
    SCOPED_TRACE(object);
    sim::Class& kind = game().CreatureClassNamed(object + "_C /Game/Mods/" + object + "." +
                                                 "Default__" + object + "_C");
    admin_.character->aimed = &game().AddDino("odd", kind, 0);
    events().Clear();

    EXPECT_TRUE(server().Console(admin_, "GetDinoBp"));

    const std::string path = "Blueprint'/Game/Mods/" + object + "." + object + "'";
    const auto chats = Events("chat");
    ASSERT_EQ(chats.size(), 1u);
    EXPECT_EQ(chats[0]["text"], path);
    EXPECT_EQ(LogTexts("info"), std::vector<std::string>{path});
    EXPECT_TRUE(LogTexts("error").empty());
  }
}

TEST_F(AdminCommands, GetDinoBpSaysNothingWithoutACreatureInSight) {
  struct Case {
    const char* name;
    sim::Actor* aimed;
    bool dead;
  };
  for (const Case& c :
       {Case{"nothing", nullptr, false}, Case{"a structure", &game().AddStructure("wall"), false},
        Case{"another player", admin_.character, false},
        Case{"a dead admin", &NewRex(kTribe), true}}) {
    SCOPED_TRACE(c.name);
    admin_.character->aimed = c.aimed;
    admin_.dead = c.dead;
    EXPECT_TRUE(server().Console(admin_, "GetDinoBp"));
  }
  EXPECT_TRUE(Events("chat").empty());
  EXPECT_TRUE(LogTexts("info").empty());
}

TEST_F(AdminCommands, AFailingGetDinoBpIsLogged) {
  admin_.character->aimed = &NewRex(0);
  game().set_failing("UObjectBaseUtility.GetFullName");

  EXPECT_TRUE(server().Console(admin_, "GetDinoBp"));

  EXPECT_TRUE(Events("chat").empty());
  EXPECT_TRUE(Events("crash").empty());
  EXPECT_EQ(LogTexts("error"),
            std::vector<std::string>{"GetDinoBp: UObjectBaseUtility.GetFullName failed"});
}

}  // namespace
