// The plug-in library with a "Cluster" section, loaded into the stand-in server against a private
// MariaDB server: another map's counts (written through the same backend the plug-in uses) limit
// this map, this map's counts reach the database, and an outage, a server that never answers, a
// wrong password and a hostile kind path cost the game nothing.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "cluster/mariadb_backend.h"
#include "sim/game/actions.h"
#include "sim/tool/private_mariadb.h"
#include "tests/support/sim_test.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

PrivateMariaDb* db = nullptr;

class DbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { db = new PrivateMariaDb(); }
  void TearDown() override {
    delete db;
    db = nullptr;
  }
};

// A server on loopback that takes connections (the kernel completes them) and never answers.
struct SilentServer {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  uint16_t port = 0;
  SilentServer() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length))
      throw std::runtime_error("cannot listen on loopback");
    port = ntohs(address.sin_port);
  }
  ~SilentServer() { close(fd); }
};

constexpr int32_t kTeam = 100001;

class ClusterPlugin : public SimTest {
 protected:
  ~ClusterPlugin() override {
    EXPECT_TRUE(Events("crash").empty());
    // The password shows nowhere: no log line, answer or event.
    for (const auto& event : events().all())
      EXPECT_EQ(event.dump().find(PrivateMariaDb::kPassword), std::string::npos) << event.dump();
  }

  static nlohmann::json ClusterConfig(const std::string& database) {
    auto config = TestConfig();
    config["Cluster"] = {{"ServerName", "TheIsland"},
                         {"MysqlSocket", db->socket()},
                         {"MysqlUser", PrivateMariaDb::kUser},
                         {"MysqlPass", PrivateMariaDb::kPassword},
                         {"MysqlDB", database},
                         {"ClusterName", "main"},
                         {"SyncIntervalMs", 50}};
    return config;
  }

  // Another map of the cluster, through the backend the plug-in itself uses.
  static std::unique_ptr<MariaDbBackend> OtherMap(const std::string& database,
                                                  const std::string& name) {
    ConnectionParams params;
    params.socket = db->socket();
    params.user = PrivateMariaDb::kUser;
    params.password = PrivateMariaDb::kPassword;
    params.database = database;
    params.cluster_name = "main";
    params.server_name = name;
    auto backend = std::make_unique<MariaDbBackend>();
    const Outcome connected = backend->Connect(params);
    EXPECT_TRUE(connected.ok()) << connected.reason();
    return backend;
  }
  // What another map reads of `map`: team -> kind ("" for the total) -> count.
  static std::map<int32_t, std::map<std::string, int32_t>> RowsOf(MariaDbBackend& reader,
                                                                  const std::string& map) {
    ReadResult read;
    EXPECT_TRUE(reader.ReadAll(read).ok());
    std::map<int32_t, std::map<std::string, int32_t>> rows;
    for (const auto& update : read.maps) {
      if (update.map != map) continue;
      for (const auto& row : update.rows) rows[row.team][row.kind] = row.count;
    }
    return rows;
  }

  std::string Answer(const std::string& command) { return server().Rcon(command).at(0).text; }
  std::string State() {
    const std::string status = Answer("tw.cluster");
    return status.substr(0, status.find('\n'));
  }
  // Asks for a sync and waits until the plug-in says it is in sync (the answers pass what waits).
  bool Synced(std::chrono::milliseconds bound = 10s) {
    EXPECT_EQ(Answer("tw.cluster sync"), "sync requested");
    return Until([&] { return State().ends_with(": connected, in sync"); }, bound);
  }
  template <typename Done>
  static bool Until(Done&& done, std::chrono::milliseconds bound = 10s) {
    for (const auto end = Clock::now() + bound; Clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
      if (done()) return true;
    }
    return done();
  }

  sim::Dino& Wild(const char* path) { return game().AddDino("wild", Kind(path), 0); }

  sim::ShooterPlayerController& alice_ = game().AddPlayer({"alice", kTeam, 1, 0});
};

// One limit over two maps: the other map's Rexes fill this map's last place; forgetting that map
// frees it; this map's own counts reach the database for the others.
TEST_F(ClusterPlugin, AnotherMapsCountsLimitThisMapAndThisMapsReachIt) {
  db->CreateDatabase("tw_share");
  auto ragnarok = OtherMap("tw_share", "Ragnarok");
  const std::vector<CountRow> theirs{{kTeam, "", 2}, {kTeam, kRex, 2}};
  ASSERT_TRUE(ragnarok->Write(theirs, true).ok());

  game().AddDino("mine", Kind(kRexPath), kTeam);
  WriteConfig(ClusterConfig("tw_share"));
  server().Start();
  ASSERT_TRUE(LoadPlugin().ok);
  ASSERT_TRUE(Synced()) << Answer("tw.cluster");

  const std::string counts = Answer("tw.counts " + std::to_string(kTeam));
  EXPECT_NE(counts.find("Rex: 3/3"), std::string::npos) << counts;
  EXPECT_NE(counts.find("on TheIsland (this map): 1 creature (Rex 1)"), std::string::npos)
      << counts;
  EXPECT_NE(counts.find("on Ragnarok: 2 creatures (Rex 2)"), std::string::npos) << counts;
  EXPECT_FALSE(sim::actions::Tame(alice_, Wild(kRexPath)));  // 1 here + 2 there = the limit of 3
  EXPECT_TRUE(sim::actions::Tame(alice_, Wild(kRaptorPath)));
  ASSERT_TRUE(Synced());
  EXPECT_EQ(RowsOf(*ragnarok, "TheIsland"), (std::map<int32_t, std::map<std::string, int32_t>>{
                                                {kTeam, {{"", 2}, {kRex, 1}, {kRaptor, 1}}}}));

  const std::string status = Answer("tw.cluster");
  EXPECT_TRUE(status.starts_with("Cluster \"main\" as \"TheIsland\": connected, in sync\n"))
      << status;
  EXPECT_NE(status.find("  Ragnarok: 1 teams, 2 creatures, last wrote "), std::string::npos)
      << status;
  EXPECT_NE(status.find("  TheIsland (this map): 1 teams, 2 creatures, last wrote "),
            std::string::npos)
      << status;
  EXPECT_NE(Answer("tw.status").find("Cluster \"main\" as \"TheIsland\": connected"),
            std::string::npos);

  EXPECT_NE(Answer("tw.cluster forget TheIsland").find("is this map"), std::string::npos);
  EXPECT_NE(Answer("tw.cluster forget Rag'narok").find("is no map name"), std::string::npos);
  EXPECT_TRUE(Answer("tw.cluster forget Ragnarok").starts_with("forgetting \"Ragnarok\""));
  EXPECT_TRUE(sim::actions::Tame(alice_, Wild(kRexPath)));  // at once, before any read
  ASSERT_TRUE(Synced());
  auto valguero = OtherMap("tw_share", "Valguero");
  EXPECT_TRUE(RowsOf(*valguero, "Ragnarok").empty());
  EXPECT_EQ(RowsOf(*valguero, "TheIsland")[kTeam][kRex], 2);
}

// The database killed mid-play: the game goes on with the last known counts, one warning when it
// goes and one line when it is back, and what was counted meanwhile reaches it afterwards.
TEST_F(ClusterPlugin, AnOutageCostsTheGameNothingAndLosesNoCount) {
  db->CreateDatabase("tw_outage");
  auto ragnarok = OtherMap("tw_outage", "Ragnarok");
  ASSERT_TRUE(ragnarok->Write(std::vector<CountRow>{{kTeam, "", 2}, {kTeam, kRex, 2}}, true).ok());
  ragnarok->Close();
  WriteConfig(ClusterConfig("tw_outage"));
  server().Start();
  ASSERT_TRUE(LoadPlugin().ok);
  ASSERT_TRUE(Synced());

  db->Stop(/*kill=*/true);
  ASSERT_TRUE(Until([&] { return State().find(": unreachable since ") != std::string::npos; }))
      << State();
  for (const char* path : {kRaptorPath, kRaptorPath, kRexPath}) {
    const auto start = Clock::now();
    sim::actions::Tame(alice_, Wild(path));
    EXPECT_LT(Clock::now() - start, 100ms);
  }
  // Still limited by the other map's last known Rexes: 2 there + 1 here.
  EXPECT_FALSE(sim::actions::Tame(alice_, Wild(kRexPath)));
  std::this_thread::sleep_for(300ms);  // reconnect attempts: still one warning
  Answer("tw.cluster");
  EXPECT_EQ(LogTexts("warning").size(), 1u);
  EXPECT_NE(LogTexts("warning").at(0).find("the database is unreachable"), std::string::npos);

  db->Start();
  ASSERT_TRUE(Until([&] { return Synced(1s); }, 30s)) << State();
  const auto infos = LogTexts("info");
  EXPECT_EQ(std::count_if(infos.begin(), infos.end(),
                          [](const std::string& text) {
                            return text.find("the database is reachable again") !=
                                   std::string::npos;
                          }),
            1);
  ragnarok = OtherMap("tw_outage", "Ragnarok");
  EXPECT_EQ(RowsOf(*ragnarok, "TheIsland"), (std::map<int32_t, std::map<std::string, int32_t>>{
                                                {kTeam, {{"", 3}, {kRex, 1}, {kRaptor, 2}}}}));
}

// A server that accepts the connection and never answers, and a wrong password: the load, every
// line and the unload stay quick; the status says why; no password text anywhere.
TEST_F(ClusterPlugin, ADatabaseThatNeverAnswersOrRefusesBlocksNothing) {
  const SilentServer silent_server;

  for (const bool silent : {true, false}) {
    SCOPED_TRACE(silent ? "a server that never answers" : "a wrong password");
    db->CreateDatabase("tw_faults");
    auto config = ClusterConfig("tw_faults");
    if (silent) {
      config["Cluster"].erase("MysqlSocket");
      config["Cluster"]["MysqlHost"] = "127.0.0.1";
      config["Cluster"]["MysqlPort"] = silent_server.port;
    } else {
      config["Cluster"]["MysqlPass"] = std::string(PrivateMariaDb::kPassword) + "x";
    }
    WriteConfig(config);
    server().Start();
    auto start = Clock::now();
    ASSERT_TRUE(LoadPlugin().ok);
    EXPECT_LT(Clock::now() - start, 100ms);
    auto& player = game().AddPlayer({"carol", kTeam + 2, 3, 0});  // of this run's server
    for (int i = 0; i < 5; ++i) {
      start = Clock::now();
      sim::actions::Tame(player, Wild(kRaptorPath));
      Answer("tw.cluster");
      EXPECT_LT(Clock::now() - start, 100ms);
    }
    ASSERT_TRUE(Until([&] { return State().find(": unreachable since ") != std::string::npos; }))
        << State();
    if (!silent) EXPECT_NE(State().find("Access denied"), std::string::npos) << State();
    start = Clock::now();
    server().UnloadPlugin();
    EXPECT_LT(Clock::now() - start, 2500ms);
    RestartServer();
  }
}

// A reload never waits on the worker it replaces, even one stuck connecting to a server that
// never answers; a changed cluster drops the other maps' counts; no section ends the link.
TEST_F(ClusterPlugin, AReloadReplacesTheLinkWithoutWaiting) {
  const SilentServer silent_server;

  db->CreateDatabase("tw_reload");
  auto ragnarok = OtherMap("tw_reload", "Ragnarok");
  ASSERT_TRUE(ragnarok->Write(std::vector<CountRow>{{kTeam, "", 3}, {kTeam, kRex, 3}}, true).ok());
  auto config = ClusterConfig("tw_reload");
  WriteConfig(config);
  server().Start();
  ASSERT_TRUE(LoadPlugin().ok);
  ASSERT_TRUE(Synced());
  EXPECT_FALSE(sim::actions::Tame(alice_, Wild(kRexPath)));

  const auto reload = [&](const nlohmann::json& next) {
    WriteConfig(next);
    const auto start = Clock::now();
    EXPECT_TRUE(Answer("tw.reload").starts_with("Reloaded config"));
    EXPECT_LT(Clock::now() - start, 100ms);
  };
  auto silent = config;
  silent["Cluster"].erase("MysqlSocket");
  silent["Cluster"]["MysqlHost"] = "127.0.0.1";
  silent["Cluster"]["MysqlPort"] = silent_server.port;
  reload(silent);  // the worker now hangs in its connect
  EXPECT_TRUE(State().ends_with(": connecting")) << State();
  EXPECT_TRUE(sim::actions::Tame(alice_, Wild(kRexPath)));  // another database: no other maps

  auto other = config;
  other["Cluster"]["ClusterName"] = "other";
  reload(other);
  ASSERT_TRUE(Synced());
  EXPECT_EQ(State(), "Cluster \"other\" as \"TheIsland\": connected, in sync");

  config.erase("Cluster");
  reload(config);
  EXPECT_EQ(Answer("tw.cluster"), "no cluster: the configuration has no \"Cluster\" section");
  const auto start = Clock::now();
  server().UnloadPlugin();  // joins the worker still stuck in its connect
  EXPECT_LT(Clock::now() - start, 2500ms);
}

// A kind path with a quote, a backslash and a semicolon is written and read back as it is.
TEST_F(ClusterPlugin, AHostileKindPathTravelsIntact) {
  const std::string path = "/Game/Mods/O'Brien\\Rex;DROP/Rex_Character_BP.Rex_Character_BP";
  const std::string key = "Blueprint'" + path + "'";
  db->CreateDatabase("tw_hostile");
  auto config = ClusterConfig("tw_hostile");
  config["Dinos"][key] = {{"Count", 1}, {"Name", "Odd Rex"}};
  game().AddDino("odd", Kind(path), kTeam);
  WriteConfig(config);
  server().Start();
  ASSERT_TRUE(LoadPlugin().ok);
  ASSERT_TRUE(Synced());
  auto ragnarok = OtherMap("tw_hostile", "Ragnarok");
  EXPECT_EQ(RowsOf(*ragnarok, "TheIsland")[kTeam][key], 1);
  ASSERT_TRUE(
      ragnarok->Write(std::vector<CountRow>{{kTeam + 1, "", 1}, {kTeam + 1, key, 1}}, true).ok());
  ASSERT_TRUE(Synced());
  auto& bob = game().AddPlayer({"bob", kTeam + 1, 2, 0});
  EXPECT_FALSE(sim::actions::Tame(bob, Wild(path.c_str())));  // the other map's one fills the limit
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new DbEnvironment);
  return RUN_ALL_TESTS();
}
