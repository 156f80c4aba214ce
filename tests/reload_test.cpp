// "tw.reload" on the console and over RCON.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace {

const nlohmann::json kRed = {1.0, 0.0, 0.0, 1.0};
const nlohmann::json kGreen = {0.0, 1.0, 0.0, 1.0};
// The lines of a reload that went live, the recount's time masked.
const std::vector<std::string> kReloaded = {
    "Recount (reload): 0 creatures of 0 teams in # ms, 0 team counts corrected", "Reloaded Config",
    "Config: 2 kinds, 0 item mappings, 0 warnings"};
const char kKept[] = "the running configuration was kept";

class Reload : public SimTest {
 protected:
  Reload() {
    WriteConfig(TestConfig());
    server().Start();
    EXPECT_TRUE(LoadPlugin().ok);
    events().Clear();  // the load's own lines
  }
  std::vector<std::string> InfoLines() const {
    std::vector<std::string> lines = LogTexts("info");
    for (std::string& line : lines) line = MaskRecountTime(line);
    return lines;
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
  // The summary follows as a chat message.
  const auto chat = Events("chat");
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_EQ(chat[0]["player"], "admin");
  EXPECT_EQ(chat[0]["text"], "Config: 2 kinds, 0 item mappings, 0 warnings");
  EXPECT_EQ(InfoLines(), kReloaded);
}

TEST_F(Reload, OnTheConsoleWithoutAFileAnswersInRedAndLogsTwice) {
  std::filesystem::remove(server().ConfigPath());
  server().Console(admin_, "tw.reload");
  const auto messages = Events("server_message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["text"], "Failed to reload config");
  EXPECT_EQ(messages[0]["color"], kRed);
  const auto chat = Events("chat");
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_EQ(chat[0]["text"], std::string(kKept) + "\nCan't open config.json");
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"Can't open config.json", "Can't open config.json"}));
  EXPECT_TRUE(LogTexts("info").empty());
}

TEST_F(Reload, OverRconAnswersWithTheRequestId) {
  ExpectRconReply("tw.reload", 31, "Reloaded config\nConfig: 2 kinds, 0 item mappings, 0 warnings");
  EXPECT_EQ(InfoLines(), kReloaded);
}

TEST_F(Reload, OverRconAnswersWithTheErrorText) {
  std::filesystem::remove(server().ConfigPath());
  auto replies = server().Rcon("tw.reload", 5);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text, std::string("Can't open config.json\n") + kKept);

  WriteConfigText(R"({"General": {"IgnoreAdmin": false}, "Messages": [)");
  replies = server().Rcon("tw.reload", 6);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text.rfind("[json.exception.parse_error.", 0), 0u) << replies[0].text;
  const std::string first = replies[0].text.substr(0, replies[0].text.find('\n'));
  EXPECT_EQ(replies[0].text, first + "\n" + kKept);
  const auto errors = LogTexts("error");
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_EQ(errors[2], first);
  EXPECT_EQ(errors[3], first);
}

TEST_F(Reload, AFailedReloadLeavesTheRunningConfigurationInPlace) {
  WriteConfigText("[1, 2, 3]");
  const auto failed = server().Rcon("tw.reload");
  // The library's own text first, then what the check says about it.
  EXPECT_EQ(
      failed[0].text.substr(0, failed[0].text.find('\n')),
      "[json.exception.type_error.305] cannot use operator[] with a string argument with array");
  EXPECT_NE(failed[0].text.find(std::string("\n") + kKept +
                                "\nerror: (document): the file holds an array"),
            std::string::npos);
  // Still loaded with the old configuration: a console reload of a good file works again.
  WriteConfig(TestConfig());
  EXPECT_EQ(server().Rcon("tw.reload")[0].text.substr(0, 16), "Reloaded config\n");
}

// Mistakes that used to go live and switch the limits off: each is refused with the key it is
// about, and the running configuration and counts stay.
TEST_F(Reload, AConfigurationTheCheckRefusesChangesNothing) {
  game().AddDino("rex", Kind(kRexPath), 100001);
  server().Rcon("UpdateDinos");
  const auto limits = [&] {
    events().Clear();
    server().Chat(admin_, "/limits");
    return Events("chat").at(0)["text"].get<std::string>();
  };
  const std::string before = limits();
  ASSERT_EQ(before, "Raptor: 0/5\nRex: 1/3\nTotal: 1/20");

  struct Case {
    const char* name;
    nlohmann::json value;
    nlohmann::json::json_pointer at;
    std::string first_line;
  };
  const std::string rex = std::string("Dinos[\"") + kRex + "\"]";
  const Case cases[] = {
      {"a quoted Count", "2", nlohmann::json::json_pointer("/Dinos") / kRex / "Count",
       "error: " + rex +
           ".Count: is a text (\"2\"), but must be a whole number: write it "
           "without the quotes"},
      {"a quoted MaxAmount", "20", nlohmann::json::json_pointer("/General/MaxAmount"),
       "error: General.MaxAmount: is a text (\"20\"), but must be a whole number: write it "
       "without the quotes"},
      {"a kind that is no object", 5, nlohmann::json::json_pointer("/Dinos") / kRex,
       "error: " + rex +
           ": is the number 5, but must be an object: write {\"Count\": 10, "
           "\"Name\": \"Rex\"}"},
      {"Dinos an array", {1}, nlohmann::json::json_pointer("/Dinos"), "error: Dinos: is an array"},
      {"a width that takes seconds to format", "{1:>10000000}",
       nlohmann::json::json_pointer("/Messages/ShowLimitMsg"),
       "error: Messages.ShowLimitMsg: a width or precision above 4096 is not allowed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto config = TestConfig();
    config[c.at] = c.value;
    WriteConfig(config);
    const std::string answer = server().Rcon("tw.reload").at(0).text;
    const std::string head = std::string(kKept) + "\n" + c.first_line;
    EXPECT_EQ(answer.substr(0, head.size()), head);
    server().Console(admin_, "tw.reload");
    EXPECT_EQ(Events("server_message").back()["text"], "Failed to reload config");
    // The console's chat has the same lines as the answer over RCON.
    EXPECT_EQ(Events("chat").back()["text"], answer);
    EXPECT_EQ(limits(), before);
  }
  EXPECT_TRUE(LogTexts("info").empty());
}

// What the owner wrote reaches the answer and the log as escaped fields: a bidirectional control
// quoted in a finding cannot reorder the line it stands in.
TEST_F(Reload, FindingsQuoteWhatTheOwnerWroteAsEscapedFields) {
  auto config = TestConfig();
  config["Debug"] = "on\u202Eff";
  WriteConfig(config);
  const std::string answer = server().Rcon("tw.reload").at(0).text;
  EXPECT_NE(answer.find("error: Debug: is a text (\"on\\u202Eff\")"), std::string::npos) << answer;
  EXPECT_EQ(answer.find("\u202E"), std::string::npos);
  const auto errors = LogTexts("error");
  ASSERT_FALSE(errors.empty());
  for (const std::string& line : errors) EXPECT_EQ(line.find("\u202E"), std::string::npos) << line;
}

}  // namespace
