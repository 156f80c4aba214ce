// Running script lines against the stand-in server: line numbers, the default world, booting,
// and what world lines build.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/framework/text.h"
#include "sim/tool/script_runner.h"
#include "sim/tool/world_paths.h"
#include "tests/support/sim_test.h"

namespace {

using sim::tool::ScriptRunner;

const std::string kDefaultWorld = std::string("player alice id=100001 tribe=200001\n") +
                                  "dino rex kind=" + kRexPath + " team=200001\n" +
                                  "dino wild kind=" + kRexPath + "\n";

class Runner : public SimTest {
 protected:
  Runner() { WriteConfig(TestConfig()); }

  // Runs the lines, numbered from 1; true when all ran.
  bool RunLines(const std::vector<std::string>& lines) {
    bool ok = true;
    for (std::size_t i = 0; i < lines.size(); ++i)
      ok = runner_.RunLine(lines[i], static_cast<int>(i + 1)) && ok;
    return ok;
  }
  std::vector<std::string> Functions() {
    std::vector<std::string> functions;
    for (const auto& result : Events("result")) functions.push_back(result["function"]);
    return functions;
  }

  ScriptRunner runner_{server(), {TW_PLUGIN_PATH, dir(), kDefaultWorld}};
};

TEST_F(Runner, ErrorsCarryTheirLineAndTheRunGoesOn) {
  EXPECT_FALSE(RunLines({"player p id=100009", "tame p nessie", "", "tmae p rex", "truth 100009"}));
  const auto errors = Events("error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0]["line"], 2);
  EXPECT_EQ(errors[0]["text"], "no dino \"nessie\"");
  EXPECT_EQ(errors[1]["line"], 4);
  EXPECT_EQ(Events("truth").size(), 1u);  // line 5 still ran
  EXPECT_TRUE(runner_.failed());
}

TEST_F(Runner, ATypedLinesErrorCarriesNoLineNumber) {
  EXPECT_FALSE(runner_.RunLine("tame alice nessie", 7, /*typed=*/true));
  EXPECT_TRUE(runner_.RunLine("tame alice wild", 8, /*typed=*/true));
  ASSERT_EQ(Events("error").size(), 1u);
  EXPECT_EQ(Events("error")[0]["line"], 0);
  EXPECT_EQ(Events("result").back()["line"], 8);  // the line's other events keep it
}

TEST_F(Runner, CountMakesThatManyCreaturesAlike) {
  ASSERT_TRUE(RunLines({"player bo id=100009 tribe=200009",
                        "dino pack kind=raptor team=200009 at=1,2,3 dead count=3",
                        "dino herd kind=Rex count=100000", "aim bo pack2"}));
  for (const char* name : {"pack1", "pack2", "pack3"}) {
    const auto* dino = runner_.FindDino(name);
    ASSERT_NE(dino, nullptr) << name;
    EXPECT_EQ(dino->targeting_team, 200009);
    EXPECT_TRUE(dino->dead());
    EXPECT_NE(sim::FromHost<sim::Class>(dino->cls)->kind_path.find(kRaptorPath), std::string::npos);
  }
  EXPECT_EQ(runner_.FindDino("pack"), nullptr);
  EXPECT_EQ(runner_.FindDino("pack4"), nullptr);
  EXPECT_NE(runner_.FindDino("herd100000"), nullptr);
}

TEST_F(Runner, LinesThatCannotRunSayWhyAndChangeNothing) {
  ASSERT_TRUE(
      RunLines({std::string("cryopod full holds=") + kRexPath, "cryopod empty", "destroy wild"}));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"wait -5", "SECONDS must not be negative"},
      {"capture alice rex full", "\"full\" already holds a creature"},
      {"capture alice wild empty", "the creature \"wild\" is no longer in the level"},
      {"load", "the plug-in is loaded already; unload it first"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_FALSE(runner_.RunLine(cases[i].first, static_cast<int>(10 + i)));
    const auto errors = Events("error");
    ASSERT_EQ(errors.size(), i + 1);
    EXPECT_EQ(errors[i], (nlohmann::json{{"event", "error"},
                                         {"line", static_cast<int>(10 + i)},
                                         {"text", cases[i].second}}));
  }
  EXPECT_FALSE(runner_.FindDino("rex")->destroyed);
  EXPECT_EQ(runner_.FindItem("empty")->custom_item_datas.Num(), 0);
  EXPECT_EQ(Events("load").size(), 1u);
  EXPECT_TRUE(runner_.RunLine("truth", 20));  // the runner goes on
}

TEST_F(Runner, ResultsCarryTheLineOfTheActionThatCausedThem) {
  ASSERT_TRUE(RunLines({"# the scene is the default world", "tame alice wild"}));
  const auto results = Events("result");
  ASSERT_EQ(Functions(), (std::vector<std::string>{"AShooterGameMode.InitGame",
                                                   "AShooterGameState.AllowDinoTame",
                                                   "APrimalDinoCharacter.TameDino"}));
  for (const auto& result : results) EXPECT_EQ(result["line"], 2);
}

TEST_F(Runner, TheDefaultWorldIsSetOnlyWhenNoPlayerOrCreatureCameFirst) {
  // A structure is no scene: the default world still comes.
  ASSERT_TRUE(RunLines({"structure hut", "truth 200001"}));
  ASSERT_EQ(Events("truth").size(), 1u);
  EXPECT_EQ(Events("truth")[0]["total"], 1);
}

TEST_F(Runner, AScriptThatSetsItsOwnSceneGetsNoDefaultWorld) {
  // help touches nothing, so the scene is still the script's to set.
  EXPECT_FALSE(RunLines({"help", "player bob id=100002", "tame alice wild"}));
  EXPECT_EQ(Events("error")[0]["text"], "no player \"alice\"");
}

TEST_F(Runner, TheFirstOtherActionBootsUnlessLoadOrStartCameFirst) {
  struct Case {
    std::vector<std::string> lines;
    int init_games;
    int loads;
  };
  const std::vector<Case> cases = {
      {{"truth", "truth"}, 1, 1},
      {{"load", "truth"}, 0, 1},
      {{"start", "truth"}, 1, 0},
      {{"unload", "truth"}, 1, 1},
      {{"server_state 1", "aim alice none"}, 0, 0},  // world lines boot nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines[0]);
    events().Clear();
    ScriptRunner runner(server(), {TW_PLUGIN_PATH, dir(), kDefaultWorld});
    for (std::size_t i = 0; i < c.lines.size(); ++i) runner.RunLine(c.lines[i], int(i + 1));
    EXPECT_EQ(static_cast<int>(Events("load").size()), c.loads);
    int init_games = 0;
    for (const auto& function : Functions()) init_games += function == "AShooterGameMode.InitGame";
    EXPECT_EQ(init_games, c.init_games);
    server().UnloadPlugin();
  }
}

TEST_F(Runner, CreaturesTheGameSpawnsCanBeNamedByLaterLines) {
  ASSERT_TRUE(RunLines({std::string("spawn alice ") + kRexPath}));
  const std::string spawned = Events("result").back()["value"];
  EXPECT_TRUE(runner_.RunLine("die " + spawned, 2));
  EXPECT_TRUE(runner_.FindDino(spawned)->dead());
}

TEST_F(Runner, PlayerLinesSetTeamSteamIdAdminAndDeath) {
  ASSERT_TRUE(RunLines({"player p id=100009 tribe=200005 admin", "player q id=100010 steam=7 dead",
                        "kill_player p", "revive q"}));
  const sim::ShooterPlayerController& p = *runner_.FindPlayer("p");
  EXPECT_EQ(p.targeting_team, 200005);
  EXPECT_EQ(p.steam_id, sim::tool::kSteamIdBase + 100009);
  EXPECT_TRUE(server().InGroup(p.steam_id, "Admins"));
  EXPECT_TRUE(p.dead && p.character->dead());
  const sim::ShooterPlayerController& q = *runner_.FindPlayer("q");
  EXPECT_EQ(q.targeting_team, 100010);
  EXPECT_EQ(q.steam_id, 7u);
  EXPECT_FALSE(server().InGroup(7, "Admins"));
  EXPECT_FALSE(q.dead || q.character->dead());
}

TEST_F(Runner, StorageItemsHoldTheirCreaturesWhereTheGameKeepsThem) {
  ASSERT_TRUE(RunLines({std::string("cryopod pod holds=") + kRexPath + "," + kRaptor,
                        "cryopod empty", std::string("soultrap trap holds=") + kDodo}));
  const sim::Item& pod = *runner_.FindItem("pod");
  EXPECT_NE(pod.full_name.find("PrimalItem_WeaponEmptyCryopod_C"), std::string::npos);
  ASSERT_EQ(pod.custom_item_datas.Num(), 1);
  const auto& classes = pod.custom_item_datas[0].CustomDataClasses;
  ASSERT_EQ(classes.Num(), 2);
  EXPECT_EQ(sim::FromHost<sim::Class>(classes[0])->kind_path, kRex);
  EXPECT_EQ(sim::FromHost<sim::Class>(classes[1])->kind_path, kRaptor);
  EXPECT_EQ(runner_.FindItem("empty")->custom_item_datas.Num(), 0);

  const sim::Item& trap = *runner_.FindItem("trap");
  EXPECT_NE(trap.full_name.find("SoulTrap_DS_C"), std::string::npos);
  const auto& strings = trap.custom_item_datas[0].CustomDataStrings;
  ASSERT_EQ(strings.Num(), 11);
  EXPECT_EQ(sim::ToUtf8(strings[10]), kDodoPath);
}

TEST_F(Runner, ConfigIsCopiedFromBesideTheScriptAndAMissingOneIsAnError) {
  std::ofstream(dir() / "other.json") << R"({"General": {}})";
  EXPECT_TRUE(runner_.RunLine("config other.json", 1));
  std::ifstream copied(server().ConfigPath());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copied), {}), R"({"General": {}})");
  EXPECT_FALSE(runner_.RunLine("config missing.json", 2));
  EXPECT_NE(Events("error")[0]["text"].get<std::string>().find("no config file"),
            std::string::npos);
  EXPECT_TRUE(runner_.RunLine("config_delete", 3));
  EXPECT_FALSE(std::filesystem::exists(server().ConfigPath()));
}

TEST_F(Runner, TruthCountsLivingTamedCreaturesOfPlayerTeams) {
  ASSERT_TRUE(
      RunLines({std::string("dino a kind=") + kRexPath + " team=200001",
                std::string("dino b kind=") + kRexPath + " team=200001 dead",
                std::string("dino c kind=") + kDodoPath + " team=50000", "truth", "truth 123456"}));
  const auto truths = Events("truth");
  ASSERT_EQ(truths.size(), 2u);
  EXPECT_EQ(truths[0], (nlohmann::json{{"event", "truth"},
                                       {"line", 4},
                                       {"team", 200001},
                                       {"total", 1},
                                       {"kinds", {{kRex, 1}}},
                                       // as the default config names the kind
                                       {"names", {{kRex, "Rex"}}}}));
  EXPECT_EQ(truths[1]["total"], 0);
  EXPECT_EQ(truths[1]["kinds"], nlohmann::json::object());
}

TEST_F(Runner, AnRconCommandFromTheNetworkSetsTheSceneAndBootsLikeAnAction) {
  EXPECT_EQ(runner_.RunRcon("tw.reload", 41),
            "Reloaded config\nConfig: 2 kinds, 0 item mappings, 0 warnings");
  EXPECT_EQ(Events("load").size(), 1u);
  EXPECT_EQ(Events("rcon")[0]["id"], 41);
  EXPECT_NE(runner_.FindPlayer("alice"), nullptr);
  EXPECT_EQ(runner_.RunRcon("SaveWorld", 42), sim::kRconNoResponse);
}

}  // namespace
