// The senders that reach one player, as the player sees what they send.
#include <string>

#include <gtest/gtest.h>

#include "notify/messages.h"
#include "tests/support/plugin_test.h"

namespace {

const nlohmann::json kRed = {1.0, 0.0, 0.0, 1.0};

class Messages : public PluginTest {
 protected:
  sim::ShooterPlayerController& player_ = game().AddPlayer({"alice", 100001, 1, 0});
  AShooterPlayerController* controller_ = sim::ToHost<AShooterPlayerController>(&player_);
};

TEST_F(Messages, NotifyPlayerShowsTheConfiguredTextInRed) {
  struct Case {
    const char* key;
    nlohmann::json text;  // null: absent from Messages
    std::string shown;
  };
  const Case cases[] = {{"ReachLimit", "Limit reached", "Limit reached"},
                        {"RestrictedInRange", nullptr, "No message"},
                        {"InvitingMergeFail", "", ""},
                        {"InvitedMergeFail", "Only {{one}} left", "Only {one} left"}};
  auto config = TestConfig();
  for (const Case& c : cases) {
    if (c.text.is_null()) {
      config["Messages"].erase(c.key);
    } else {
      config["Messages"][c.key] = c.text;
    }
  }
  Boot(config);
  for (const Case& c : cases) NotifyPlayer(c.key, controller_);

  const auto shown = Events("notification");
  ASSERT_EQ(shown.size(), std::size(cases));
  for (std::size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i]["player"], "alice");
    EXPECT_EQ(shown[i]["text"], cases[i].shown) << cases[i].key;
    EXPECT_EQ(shown[i]["color"], kRed);
    EXPECT_EQ(shown[i]["scale"], 1.5);
    EXPECT_EQ(shown[i]["time"], 5.0);
  }
}

TEST_F(Messages, NotifyPlayerReadsItsSettingsAtEveryCall) {
  Boot(TestConfig());
  EditConfig([](nlohmann::json& live) { live["General"]["NotificationScale"] = true; });
  NotifyPlayer("ReachLimit", controller_);
  EXPECT_EQ(Events("notification").at(0)["scale"], 1.0);

  // Without a display time the refusal is not shown, with a warning line instead of a failure.
  EditConfig([](nlohmann::json& live) { live["General"].erase("NotificationDisplayTime"); });
  EXPECT_NO_THROW(NotifyPlayer("ReachLimit", controller_));
  EXPECT_EQ(Events("notification").size(), 1u);
  EXPECT_EQ(LogTexts("warning"),
            std::vector<std::string>{"ReachLimit not shown: General.NotificationScale and "
                                     "NotificationDisplayTime must be numbers"});
}

TEST_F(Messages, ChatAndServerMessagesCarryTheirTexts) {
  Boot(TestConfig());
  SendChatMessage(controller_, FString("Warden {x}"), L"a {{b}} \u00e9");
  SendServerMessage(controller_, {0, 1, 0, 1}, "caf\xc3\xa9 {{ok}}");
  const auto chat = Events("chat");
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_EQ(chat[0]["sender"], "Warden {x}");  // a name, not a text: not formatted
  EXPECT_EQ(chat[0]["text"], "a {b} \u00e9");
  const auto server = Events("server_message");
  ASSERT_EQ(server.size(), 1u);
  EXPECT_EQ(server[0]["text"], "caf?? {ok}");  // bytes widened one by one
  EXPECT_EQ(server[0]["color"], (nlohmann::json{0.0, 1.0, 0.0, 1.0}));
}

TEST_F(Messages, ANullControllerGetsNothing) {
  Boot(TestConfig());
  NotifyPlayer("ReachLimit", nullptr);
  SendNotification(nullptr, {}, 1, 1, L"x");
  SendChatMessage(nullptr, FString("W"), L"x");
  SendServerMessage(nullptr, {}, "x");
  EXPECT_TRUE(Events("notification").empty());
  EXPECT_TRUE(Events("chat").empty());
  EXPECT_TRUE(Events("server_message").empty());
}

}  // namespace
