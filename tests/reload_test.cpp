// "tw.reload" on the console and over RCON.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace {

const nlohmann::json kRed = {1.0, 0.0, 0.0, 1.0};
const nlohmann::json kGreen = {0.0, 1.0, 0.0, 1.0};

class Reload : public SimTest {
 protected:
  Reload() {
    WriteConfig(TestConfig());
    server().Start();
    EXPECT_TRUE(LoadPlugin().ok);
  }
  sim::ShooterPlayerController& admin_ = game().AddPlayer({"admin", 100001, 1, 0});
};

TEST_F(Reload, OnTheConsoleAnswersInGreenAndLogs) {
  EXPECT_TRUE(server().Console(admin_, "tw.reload"));
  const auto messages = Events("server_message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["player"], "admin");
  EXPECT_EQ(messages[0]["text"], "Reloaded config");
  EXPECT_EQ(messages[0]["color"], kGreen);
  EXPECT_EQ(LogTexts("info"), std::vector<std::string>{"Reloaded Config"});
}

TEST_F(Reload, OnTheConsoleWithoutAFileAnswersInRedAndLogsTwice) {
  std::filesystem::remove(server().ConfigPath());
  server().Console(admin_, "tw.reload");
  const auto messages = Events("server_message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["text"], "Failed to reload config");
  EXPECT_EQ(messages[0]["color"], kRed);
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"Can't open config.json", "Can't open config.json"}));
  EXPECT_TRUE(LogTexts("info").empty());
}

TEST_F(Reload, OverRconAnswersWithTheRequestId) {
  const auto replies = server().Rcon("tw.reload", 31);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].id, 31);
  EXPECT_EQ(replies[0].type, 0);
  EXPECT_EQ(replies[0].text, "Reloaded config");
  EXPECT_EQ(LogTexts("info"), std::vector<std::string>{"Reloaded Config"});
}

TEST_F(Reload, OverRconAnswersWithTheErrorText) {
  std::filesystem::remove(server().ConfigPath());
  auto replies = server().Rcon("tw.reload", 5);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text, "Can't open config.json");

  WriteConfigText(R"({"General": {"IgnoreAdmin": false}, "Messages": [)");
  replies = server().Rcon("tw.reload", 6);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text.rfind("[json.exception.parse_error.", 0), 0u) << replies[0].text;
  const auto errors = LogTexts("error");
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_EQ(errors[2], replies[0].text);
  EXPECT_EQ(errors[3], replies[0].text);
}

TEST_F(Reload, AFailedReloadLeavesTheRunningConfigurationInPlace) {
  WriteConfigText("[1, 2, 3]");
  const auto failed = server().Rcon("tw.reload");
  // The library's own text first, then what the check says about it.
  EXPECT_EQ(
      failed[0].text.substr(0, failed[0].text.find('\n')),
      "[json.exception.type_error.305] cannot use operator[] with a string argument with array");
  EXPECT_NE(failed[0].text.find("\nerror: (document): the file holds an array"), std::string::npos);
  // Still loaded with the old configuration: a console reload of a good file works again.
  WriteConfig(TestConfig());
  EXPECT_EQ(server().Rcon("tw.reload")[0].text, "Reloaded config");
}

}  // namespace
