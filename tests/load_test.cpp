// Loading the plug-in library into the stand-in server, and unloading it, as the game does.
#include <dlfcn.h>

#include <fstream>
#include <regex>
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
      "RegisterRconCommand tw.status",      "RegisterConsoleCommand tw.status"};
  for (const auto& name : kHookNames) calls.push_back("InstallHook " + name);
  calls.push_back("AddOnTimerCallback Tamewarden.Recount");
  return calls;
}

std::vector<std::string> Removals(const std::string& chat_name) {
  std::vector<std::string> calls = {
      "RemoveOnTimerCallback Tamewarden.Recount", "UnregisterChatCommand " + chat_name,
      "UnregisterRconCommand tw.reload",          "UnregisterRconCommand UpdateDinos",
      "UnregisterConsoleCommand tw.reload",       "UnregisterConsoleCommand UpdateDinos",
      "UnregisterConsoleCommand GetDinoBp",       "UnregisterRconCommand tw.counts",
      "UnregisterConsoleCommand tw.counts",       "UnregisterRconCommand tw.status",
      "UnregisterConsoleCommand tw.status"};
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
            (std::vector<std::string>{"tw.reload", "UpdateDinos", "tw.counts", "tw.status"}));
  EXPECT_EQ(server().commands().ConsoleNames(),
            (std::vector<std::string>{"tw.reload", "UpdateDinos", "GetDinoBp", "tw.counts",
                                      "tw.status"}));
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
            (std::vector<std::string>{"Can't open config.json", "Can't open config.json"}));
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

}  // namespace
