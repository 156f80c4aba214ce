// The show-limits chat command, typed by a player into the running plug-in library.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "sim/game/actions.h"
#include "tests/support/sim_test.h"

namespace {

constexpr int32_t kTeam = 100001;

class ShowLimits : public SimTest {
 protected:
  ~ShowLimits() override { EXPECT_TRUE(Events("crash").empty()); }

  // Alice owns two Rexes and a Dodo; the plug-in loads with `config` into the running world.
  void Start(const nlohmann::json& config) {
    for (const char* path : {kRexPath, kRexPath, kDodoPath}) game().AddDino("d", Kind(path), kTeam);
    WriteConfig(config);
    server().Start();
    ASSERT_TRUE(LoadPlugin().ok);
  }
  // Alice asks; the text of the one chat answer, or "" when none came.
  std::string ChatAnswer() {
    server().Chat(alice_, "/limits");
    const auto chat = Events("chat");
    return chat.empty() ? "" : chat.back()["text"].get<std::string>();
  }
  static nlohmann::json With(const char* template_key, const char* text) {
    auto config = TestConfig();
    config["Messages"][template_key] = text;
    return config;
  }

  sim::ShooterPlayerController& alice_ = game().AddPlayer({"alice", kTeam, 1, 0});
};

TEST_F(ShowLimits, InChatListsEveryKindThenTheTotalFromTheSender) {
  Start(TestConfig());
  EXPECT_EQ(ChatAnswer(), "Raptor: 0/5\nRex: 2/3\nTotal: 3/20");
  const auto chat = Events("chat");
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_EQ(chat[0]["player"], "alice");
  EXPECT_EQ(chat[0]["sender"], "Tamewarden");
}

TEST_F(ShowLimits, AsNotificationsSendsTheTitleAtTwiceTheScaleFirst) {
  Start(With("ShowLimitsType", "Notification"));
  server().Chat(alice_, "/limits");
  const auto shown = Events("notification");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0]["text"], "Tamewarden");
  EXPECT_EQ(shown[1]["text"], "Raptor: 0/5\nRex: 2/3\nTotal: 3/20");
  for (const auto& [notification, scale] : {std::pair{shown[0], 2.4f}, {shown[1], 1.2f}}) {
    EXPECT_FLOAT_EQ(notification["scale"].get<float>(), scale);
    EXPECT_EQ(notification["color"], (nlohmann::json{1.0, 0.5, 0.0, 1.0}));
    EXPECT_EQ(notification["time"], 8.0);
  }
  EXPECT_TRUE(Events("chat").empty());
}

TEST_F(ShowLimits, TemplatesTakeTheirArgumentsByPosition) {
  auto config = With("ShowLimitMsg", "[{2:>3} {0}]");
  config["Messages"]["TotalLimitMsg"] = "{1}-{0} {{{{ok}}}}";
  Start(config);
  EXPECT_EQ(ChatAnswer(), "[  5 Raptor][  3 Rex]20-3 {ok}");
}

TEST_F(ShowLimits, KindsAreListedIgnoringCase) {
  auto config = TestConfig();
  config["Dinos"] = {{"Blueprint'/Game/Bravo.Bravo'", {{"Name", "B"}}},
                     {"Blueprint'/Game/alpha.alpha'", {{"Name", "a"}}},
                     {"Blueprint'/Game/charlie.charlie'", {{"Count", 1}}}};
  Start(config);
  EXPECT_EQ(ChatAnswer(), "a: 0/9999\nB: 0/9999\n: 0/1\nTotal: 3/20");
}

// A display name is shown as an escaped field: a control character in it cannot break the answer
// into lines of its own, nor a bidirectional mark reorder it.
TEST_F(ShowLimits, DisplayNamesAreEscapedFields) {
  auto config = TestConfig();
  config["Dinos"] = {{"Blueprint'/Game/Bravo.Bravo'", {{"Name", "B\r\u202E{x}"}}}};
  Start(config);
  EXPECT_EQ(ChatAnswer(), "B\\x0D\\u202E{x}: 0/9999\nTotal: 3/20");
}

// A template the formatting step rejects never goes live; a setting that is missing does, with a
// warning at the reload, and /limits then answers nothing but a warning line.
TEST_F(ShowLimits, ABrokenTemplateIsRefusedAndAMissingSettingAnswersNothing) {
  Start(TestConfig());
  WriteConfig(With("ShowLimitMsg", "{3}"));
  EXPECT_EQ(server().Rcon("tw.reload")[0].text.rfind(
                "the running configuration was kept\nerror: Messages.ShowLimitMsg: ", 0),
            0u);
  EXPECT_EQ(ChatAnswer(), "Raptor: 0/5\nRex: 2/3\nTotal: 3/20");  // the running templates

  auto no_scale = With("ShowLimitsType", "Notification");
  no_scale["Messages"].erase("ShowLimitsScale");
  WriteConfig(no_scale);
  ASSERT_EQ(server().Rcon("tw.reload")[0].text,
            "Reloaded config\nConfig: 2 kinds, 0 item mappings, 1 warning\nwarning: "
            "Messages.ShowLimitsScale: is missing, so /limits will answer nothing; see the "
            "shipped examples/config.json for a value");
  events().Clear();
  server().Chat(alice_, "/limits");
  EXPECT_EQ(
      LogTexts("warning"),
      std::vector<std::string>{"[json.exception.type_error.302] type must be number, but is null"});
  EXPECT_TRUE(LogTexts("error").empty());
  EXPECT_TRUE(Events("notification").empty());
}

// Without MaxAmount every gain would be refused and /limits would answer nothing: the file is
// refused at load with an error that says so, instead of running that way.
TEST_F(ShowLimits, AMissingMaxAmountIsRefusedAtLoad) {
  auto config = TestConfig();
  config["General"].erase("MaxAmount");
  WriteConfig(config);
  server().Start();
  EXPECT_FALSE(LoadPlugin().ok);
  const std::vector<std::string> errors = LogTexts("error");
  EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [](const std::string& line) {
    return line.find("General.MaxAmount: is missing, so every tame would be refused") !=
           std::string::npos;
  })) << ::testing::PrintToString(errors);
}

TEST_F(ShowLimits, NoAnswerForADeadPlayerOrAnUnknownType) {
  Start(With("ShowLimitsType", "chat"));
  events().Clear();  // the load's warning about the type
  EXPECT_EQ(ChatAnswer(), "");
  auto& ghost = game().AddPlayer({"ghost", 100002, 2, 0, /*dead=*/true});
  WriteConfig(TestConfig());
  server().Rcon("tw.reload");
  server().Chat(ghost, "/limits");
  EXPECT_TRUE(Events("chat").empty());
  EXPECT_TRUE(LogTexts("warning").empty());
}

TEST_F(ShowLimits, BracesInADisplayNameAreShownAsWritten) {
  auto config = TestConfig();
  config["Dinos"][kRex]["Name"] = "Rex {king} }{";
  Start(config);
  EXPECT_EQ(ChatAnswer(), "Raptor: 0/5\nRex {king} }{: 2/3\nTotal: 3/20");
  EXPECT_TRUE(LogTexts("warning").empty());
}

}  // namespace
