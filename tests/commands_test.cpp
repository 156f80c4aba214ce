// The framework's command registry: which callback a typed line reaches, and with what.
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/framework/text.h"
#include "tests/support/sim_test.h"

namespace {

class Commands : public SimTest {
 protected:
  sim::ShooterPlayerController& player_ = game().AddPlayer({"alice", 100001, 1, 0});
  std::vector<std::string> seen_;
};

TEST_F(Commands, FirstWordMatchesIgnoringCaseAndTheCallbackGetsTheWholeLine) {
  server().commands().RegisterChatCommand(
      "/limits", [&](AShooterPlayerController* pc, FString* text, EChatSendMode::Type) {
        EXPECT_EQ(pc, sim::ToHost<AShooterPlayerController>(&player_));
        seen_.push_back(sim::ToUtf8(*text));
      });
  EXPECT_TRUE(server().Chat(player_, "/LIMITS please"));
  EXPECT_TRUE(server().Chat(player_, "/limits"));
  EXPECT_FALSE(server().Chat(player_, "/limitsx"));
  EXPECT_FALSE(server().Chat(player_, "say /limits"));
  EXPECT_EQ(seen_, (std::vector<std::string>{"/LIMITS please", "/limits"}));
}

TEST_F(Commands, ConsoleAndChatAreSeparateRegistries) {
  server().commands().RegisterConsoleCommand(
      "tw.reload",
      [&](APlayerController*, FString* text, bool) { seen_.push_back(sim::ToUtf8(*text)); });
  EXPECT_FALSE(server().Chat(player_, "tw.reload"));
  EXPECT_TRUE(server().Console(player_, "TW.Reload now"));
  EXPECT_EQ(seen_, std::vector<std::string>{"TW.Reload now"});
  EXPECT_TRUE(server().commands().UnregisterConsoleCommand("tw.reload"));
  EXPECT_FALSE(server().Console(player_, "tw.reload"));
  EXPECT_FALSE(server().commands().UnregisterConsoleCommand("tw.reload"));
}

TEST_F(Commands, RconCommandsAnswerOnTheConnectionAndOthersGetTheGamesAnswer) {
  server().commands().RegisterRconCommand("ping", [](RCONClientConnection* connection,
                                                     RCONPacket* packet, UWorld* world) {
    EXPECT_NE(world, nullptr);
    FString answer("pong");
    reinterpret_cast<GameFunction<"RCONClientConnection.SendMessageW">::Type*>(ArkApi::GetAddress(
        "RCONClientConnection.SendMessageW"))(connection, packet->Id, 0, &answer);
  });
  const auto pong = server().Rcon("ping", 42);
  ASSERT_EQ(pong.size(), 1u);
  EXPECT_EQ(pong[0].id, 42);
  EXPECT_EQ(pong[0].text, "pong");
  const auto other = server().Rcon("ListPlayers", 7);
  ASSERT_EQ(other.size(), 1u);
  EXPECT_EQ(other[0].text, "Server received, But no response!! \n ");
  EXPECT_EQ(other[0].id, 7);
}

TEST_F(Commands, AnExceptionFromACallbackIsReportedAsACrashAndTheServerGoesOn) {
  server().commands().RegisterChatCommand(
      "/boom", [](AShooterPlayerController*, FString*, EChatSendMode::Type) {
        throw std::runtime_error("kaboom");
      });
  EXPECT_TRUE(server().Chat(player_, "/boom"));
  const auto crashes = Events("crash");
  ASSERT_EQ(crashes.size(), 1u);
  EXPECT_EQ(crashes[0]["text"], "kaboom");
}

}  // namespace
