// Loading the plug-in library into the stand-in server, and unloading it, as the game does.
#include <dlfcn.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/framework/registry.h"
#include "tests/support/sim_test.h"

namespace {

const std::vector<std::string> kHookNames = {
    "AShooterGameMode.InitGame",
    "AShooterGameState.AllowDinoTame",
    "APrimalDinoCharacter.TryMultiUse",
    "AShooterPlayerState.AddToTribe",
    "APrimalDinoCharacter.TameDino",
    "AShooterPlayerController.ServerRequestDownloadDino_Implementation",
    "AShooterPlayerController.SpawnActor",
    "APrimalDinoCharacter.Die",
    "APrimalDinoCharacter.Destroyed",
    "APrimalStructure.TryMultiUse",
    "APrimalDinoCharacter.InitDownloadedTamedDino",
    "AShooterPlayerController.ServerDownloadDino",
    "UPrimalItem.AllowUseInInventory",
    "UPrimalItem.AllowSlotting",
    "AActor.BPServerHandleNetExecCommand",
    "AShooterCharacter.OnWeaponEquipped",
};

std::vector<std::string> Registrations(const std::string& chat_name) {
  std::vector<std::string> calls = {
      "RegisterChatCommand " + chat_name,   "RegisterRconCommand tw.reload",
      "RegisterRconCommand UpdateDinos",    "RegisterConsoleCommand tw.reload",
      "RegisterConsoleCommand UpdateDinos", "RegisterConsoleCommand GetDinoBp",
      "RegisterRconCommand tw.counts",      "RegisterConsoleCommand tw.counts",
      "RegisterRconCommand tw.status",      "RegisterConsoleCommand tw.status",
      "RegisterRconCommand tw.cluster",     "RegisterConsoleCommand tw.cluster"};
  for (const auto& name : kHookNames) calls.push_back("InstallHook " + name);
  calls.push_back("AddOnTimerCallback Tamewarden.Recount");
  calls.push_back("AddOnTimerCallback Tamewarden.Cluster");
  return calls;
}

std::vector<std::string> Removals(const std::string& chat_name) {
  std::vector<std::string> calls = {
      "RemoveOnTimerCallback Tamewarden.Recount", "RemoveOnTimerCallback Tamewarden.Cluster",
      "UnregisterChatCommand " + chat_name,       "UnregisterRconCommand tw.reload",
      "UnregisterRconCommand UpdateDinos",        "UnregisterConsoleCommand tw.reload",
      "UnregisterConsoleCommand UpdateDinos",     "UnregisterConsoleCommand GetDinoBp",
      "UnregisterRconCommand tw.counts",          "UnregisterConsoleCommand tw.counts",
      "UnregisterRconCommand tw.status",          "UnregisterConsoleCommand tw.status",
      "UnregisterRconCommand tw.cluster",         "UnregisterConsoleCommand tw.cluster"};
  for (const auto& name : kHookNames) calls.push_back("RemoveHook " + name);
  return calls;
}

bool LibraryIsLoaded() {
  void* handle = dlopen(TW_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
}

bool NoDetourInstalled() {
  for (const auto& name : kHookNames) {
    if (!sim::TheRegistry().FindHook(name)->chain.empty()) return false;
  }
  return true;
}

class Load : public SimTest {};

TEST_F(Load, IntoARunningWorldRegistersCommandsThenHooksInOrder) {
  WriteConfig(TestConfig());
  server().Start();
  ASSERT_TRUE(LoadPlugin().ok);
  EXPECT_EQ(server().trace(), Registrations("/limits"));
  EXPECT_EQ(server().commands().ChatNames(), std::vector<std::string>{"/limits"});
  EXPECT_EQ(server().commands().RconNames(),
            (std::vector<std::string>{"tw.reload", "UpdateDinos", "tw.counts", "tw.status",
                                      "tw.cluster"}));
  EXPECT_EQ(server().commands().ConsoleNames(),
            (std::vector<std::string>{"tw.reload", "UpdateDinos", "GetDinoBp", "tw.counts",
                                      "tw.status", "tw.cluster"}));
}

// The other hooks still protect what they cover: the load goes on, with the refusal in the log.
TEST_F(Load, AHookTheHostRefusesIsLoggedAndTheRestAreInstalled) {
  const std::string refused = "APrimalDinoCharacter.Die";
  server().RefuseHook(refused);
  WriteConfig(TestConfig());
  server().Start();
  ASSERT_TRUE(LoadPlugin().ok);

  EXPECT_EQ(server().trace(), Registrations("/limits"));
  const std::vector<std::string> errors = {"Load: the host refused the hook on " + refused +
                                           " (declined); that game function runs unchecked "
                                           "and uncounted"};
  EXPECT_EQ(LogTexts("error"), errors);
  for (const auto& name : kHookNames)
    EXPECT_EQ(sim::TheRegistry().FindHook(name)->chain.empty(), name == refused) << name;

  // Unload removes the hooks Load installed, and only those.
  server().ClearTrace();
  server().UnloadPlugin();
  auto removals = Removals("/limits");
  std::erase(removals, "RemoveHook " + refused);
  EXPECT_EQ(server().trace(), removals);
  EXPECT_EQ(LogTexts("error"), errors);
  EXPECT_TRUE(NoDetourInstalled());
}

TEST_F(Load, IntoAStartingWorldLetsTheGameStartThroughTheHook) {
  WriteConfig(TestConfig());
  ASSERT_TRUE(LoadPlugin().ok);
  server().Start();
  const auto results = Events("result");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0]["function"], "AShooterGameMode.InitGame");
  EXPECT_EQ(results[0]["called"], true);
}

TEST_F(Load, UnloadRemovesExactlyWhatLoadAdded) {
  WriteConfig(TestConfig());
  ASSERT_TRUE(LoadPlugin().ok);
  server().ClearTrace();
  server().UnloadPlugin();
  EXPECT_EQ(server().trace(), Removals("/limits"));
  EXPECT_TRUE(server().commands().ChatNames().empty());
  EXPECT_TRUE(server().commands().RconNames().empty());
  EXPECT_TRUE(server().commands().ConsoleNames().empty());
  EXPECT_TRUE(NoDetourInstalled());
  EXPECT_FALSE(LibraryIsLoaded());
}

TEST_F(Load, WithoutAConfigFileFailsLogsTwiceAndRegistersNothing) {
  const sim::LoadResult result = LoadPlugin();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "Can't open config.json");
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"Can't open config.json",
                                      "there is no file at " + server().ConfigPath().string(),
                                      "Can't open config.json"}));
  EXPECT_TRUE(server().trace().empty());
  EXPECT_TRUE(NoDetourInstalled());
  EXPECT_FALSE(LibraryIsLoaded());

  // The line in the server's log file carries the plug-in's own pattern.
  std::ifstream log(server().LogPath());
  std::string line;
  ASSERT_TRUE(std::getline(log, line));
  EXPECT_TRUE(std::regex_match(
      line,
      std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d \[Tamewarden\]\[error\] Can't open config\.json)")))
      << line;
}

TEST_F(Load, WithoutMessagesFailsWithAnErrorLineAndRegistersNothing) {
  auto config = TestConfig();
  config.erase("Messages");
  WriteConfig(config);
  const sim::LoadResult result = LoadPlugin();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "config.json was refused: 1 error, each logged above");
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"config.json: Messages: is missing, and the plug-in cannot "
                                      "name its chat command without it: write \"Messages\": {...}",
                                      result.error}));
  EXPECT_TRUE(server().trace().empty());
}

TEST_F(Load, NamesTheChatCommandFromMessages) {
  auto config = TestConfig();
  config["Messages"].erase("ShowLimitCmd");
  WriteConfig(config);
  ASSERT_TRUE(LoadPlugin().ok);
  EXPECT_EQ(server().commands().ChatNames(), std::vector<std::string>{"No message"});
  server().UnloadPlugin();

  config["Messages"]["ShowLimitCmd"] = "";
  WriteConfig(config);
  ASSERT_TRUE(LoadPlugin().ok);
  EXPECT_EQ(server().commands().ChatNames(), std::vector<std::string>{""});
}

TEST_F(Load, UnloadRemovesTheChatCommandALoadRegisteredAfterAReloadRenamedIt) {
  WriteConfig(TestConfig());
  ASSERT_TRUE(LoadPlugin().ok);
  auto config = TestConfig();
  config["Messages"]["ShowLimitCmd"] = "/counts";
  WriteConfig(config);
  server().Rcon("tw.reload");
  EXPECT_EQ(server().commands().ChatNames(), std::vector<std::string>{"/limits"});
  server().UnloadPlugin();
  EXPECT_TRUE(server().commands().ChatNames().empty());
}

TEST_F(Load, UnloadsAndLoadsAgainInOneProcess) {
  WriteConfig(TestConfig());
  for (int round = 0; round < 3; ++round) {
    server().ClearTrace();
    ASSERT_TRUE(LoadPlugin().ok);
    EXPECT_EQ(server().trace(), Registrations("/limits"));
    EXPECT_TRUE(LibraryIsLoaded());
    server().UnloadPlugin();
    EXPECT_FALSE(LibraryIsLoaded());
  }
}

TEST_F(Load, PluginUnloadDoesNothingHoweverOftenItIsCalled) {
  WriteConfig(TestConfig());
  ASSERT_TRUE(LoadPlugin().ok);
  void* handle = dlopen(TW_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  auto* plugin_unload = reinterpret_cast<void (*)()>(dlsym(handle, "Plugin_Unload"));
  ASSERT_NE(plugin_unload, nullptr);
  server().ClearTrace();
  for (int i = 0; i < 3; ++i) plugin_unload();
  EXPECT_TRUE(server().trace().empty());
  EXPECT_EQ(server().commands().ChatNames().size(), 1u);
  dlclose(handle);
}

// config.json missing, broken or refused at start: the last good configuration runs, with an error
// line saying which file failed, why and when the last good one was saved, and tw.status says
// so. The saved file is kept as it is. When the last good file is refused too, the load fails
// with config.json's failure, as it always did.
TEST_F(Load, AtStartFallsBackToTheLastGoodConfiguration) {
  auto good = TestConfig();
  good["General"]["MaxAmount"] = 7;
  auto refused = TestConfig();
  refused.erase("Messages");
  const std::filesystem::path last_good =
      server().ConfigPath().replace_filename("config.last-good.json");
  // 2026-03-01 14:05:09 UTC
  const auto saved_at =
      std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1772373909)));
  struct Case {
    const char* name;
    std::optional<std::string> text;
    std::string why;  // the start of it
  };
  const Case cases[] = {
      {"missing", std::nullopt, "Can't open config.json"},
      {"broken", "{\"General\": {", "[json.exception.parse_error."},
      {"refused", refused.dump(), "config.json was refused: 1 error, each logged above"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RestartServer();
    std::filesystem::remove(server().ConfigPath());
    if (c.text) WriteConfigText(*c.text);
    std::ofstream(last_good) << good.dump(2);
    std::filesystem::last_write_time(last_good, saved_at);

    server().Start();
    ASSERT_TRUE(LoadPlugin().ok);
    const std::string line = LogTexts("error").back();
    EXPECT_TRUE(line.starts_with(server().ConfigPath().string() + " could not be used (" + c.why))
        << line;
    EXPECT_TRUE(
        line.ends_with("); the last good configuration, saved 2026-03-01 14:05:09 UTC, "
                       "is running from " +
                       last_good.string()))
        << line;
    auto& player = game().AddPlayer({"admin", 100001, 1, 0});
    server().Chat(player, "/limits");
    EXPECT_EQ(Events("chat").back()["text"], "Raptor: 0/5\nRex: 0/3\nTotal: 0/7");
    const std::string status = server().Rcon("tw.status").at(0).text;
    EXPECT_TRUE(status.starts_with("Config file: " + last_good.string() +
                                   " (the last good configuration, saved 2026-03-01 14:05:09 UTC, "
                                   "because " +
                                   server().ConfigPath().string() + ": " + c.why))
        << status;
    EXPECT_EQ(std::filesystem::last_write_time(last_good), saved_at);
  }

  RestartServer();
  std::filesystem::remove(server().ConfigPath());
  std::ofstream(last_good) << refused.dump(2);
  const sim::LoadResult result = LoadPlugin();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "Can't open config.json");
  EXPECT_EQ(LogTexts("error").back(), "Can't open config.json");
  EXPECT_TRUE(server().trace().empty());
}

// A load saves what it installed; a last good file that cannot be written is a warning only.
TEST_F(Load, SavesTheLastGoodConfigurationAndGoesOnWhenItCannot) {
  WriteConfig(TestConfig());
  const std::filesystem::path last_good =
      server().ConfigPath().replace_filename("config.last-good.json");
  ASSERT_TRUE(LoadPlugin().ok);
  EXPECT_EQ(nlohmann::json::parse(std::ifstream(last_good)), TestConfig());
  server().UnloadPlugin();

  std::filesystem::remove(last_good);
  std::filesystem::create_directory(last_good.string() + ".tmp");  // no file can be made there
  ASSERT_TRUE(LoadPlugin().ok);
  EXPECT_FALSE(std::filesystem::exists(last_good));
  const auto warnings = LogTexts("warning");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].starts_with("Could not save the last good configuration to " +
                                      last_good.string() + ": "))
      << warnings[0];
  EXPECT_EQ(server().commands().ConsoleNames().size(), 6u);
}

// tw.status: the file running, when, its summary and tiers, the last recount, the timer, the hooks
// and the commands; only those facts, so a setting such as a password never shows.
TEST_F(Load, StatusSaysWhatRunsAndWhatTheLoadAdded) {
  auto config = TestConfig();
  config["General"]["RecountIntervalSeconds"] = 600;
  config["Cluster"] = {
      {"ServerName", "TheIsland"}, {"MysqlUser", "u"}, {"MysqlDB", "d"}, {"MysqlPass", "hunter2"}};
  WriteConfig(config);
  server().RefuseHook("APrimalDinoCharacter.Die");
  server().Start();
  ASSERT_TRUE(LoadPlugin().ok);

  const std::string status = server().Rcon("tw.status").at(0).text;
  std::vector<std::string> lines;
  std::istringstream in(status);
  for (std::string line; std::getline(in, line);) lines.push_back(MaskRecountTime(line));
  ASSERT_EQ(lines.size(), 9u) << status;
  EXPECT_EQ(lines[0], "Config file: " + server().ConfigPath().string());
  EXPECT_TRUE(
      std::regex_match(lines[1], std::regex(R"(Loaded: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC)")))
      << lines[1];
  EXPECT_TRUE(lines[2].starts_with("Config: 2 kinds, 0 item mappings, ")) << lines[2];
  EXPECT_TRUE(lines[2].ends_with(", cluster \"default\" as \"TheIsland\"")) << lines[2];
  // No database answers there: the load went on all the same, and says how the link stands.
  EXPECT_TRUE(lines[3].starts_with("Cluster \"default\" as \"TheIsland\": ")) << lines[3];
  EXPECT_EQ(lines[4], "Tiers: 0");
  EXPECT_EQ(lines[5],
            "Last recount: Recount (load): 0 creatures of 0 teams in # ms, the first count since "
            "the plug-in loaded");
  EXPECT_EQ(lines[6], "Recount timer: every 600 s");
  EXPECT_EQ(lines[7], "Hooks: 15 installed, 1 refused: APrimalDinoCharacter.Die (declined)");
  EXPECT_EQ(lines[8],
            "Commands: chat /limits; RCON tw.reload, UpdateDinos, tw.counts, tw.status, "
            "tw.cluster; console tw.reload, UpdateDinos, GetDinoBp, tw.counts, tw.status, "
            "tw.cluster");
  EXPECT_EQ(status.find("hunter2"), std::string::npos);

  auto& admin = game().AddPlayer({"admin", 100001, 1, 0});
  EXPECT_TRUE(server().Console(admin, "tw.status"));
  // The same answer in chat, but for the link's state, which may have moved on meanwhile.
  const auto without_link = [](std::string text) {
    const std::size_t at = text.find("\nCluster \"");
    return at == std::string::npos ? text : text.erase(at, text.find('\n', at + 1) - at);
  };
  EXPECT_EQ(without_link(Events("chat").back()["text"]), without_link(status));
}

}  // namespace
