// "tw.reload" on the console and over RCON.
#include <filesystem>
#include <fstream>
#include <sstream>
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
  EXPECT_EQ(chat[0]["text"], std::string(kKept) + "\nCan't open config.json\nthere is no file at " +
                                 server().ConfigPath().string());
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"Can't open config.json",
                                      "there is no file at " + server().ConfigPath().string(),
                                      "Can't open config.json"}));
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
  EXPECT_EQ(replies[0].text, "Can't open config.json\nthere is no file at " +
                                 server().ConfigPath().string() + "\n" + kKept);

  WriteConfigText(R"({"General": {"IgnoreAdmin": false}, "Messages": [)");
  replies = server().Rcon("tw.reload", 6);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text.rfind("[json.exception.parse_error.", 0), 0u) << replies[0].text;
  const std::string first = replies[0].text.substr(0, replies[0].text.find('\n'));
  EXPECT_EQ(replies[0].text, first + "\n" + server().ConfigPath().string() +
                                 ", line 1, column 50: the file ends inside an object or array "
                                 "that was never closed: a } or ] is missing\n" +
                                 kKept);
  const auto errors = LogTexts("error");
  const std::string detail = server().ConfigPath().string() +
                             ", line 1, column 50: the file ends inside an object or array "
                             "that was never closed: a } or ] is missing";
  ASSERT_EQ(errors.size(), 6u);
  EXPECT_EQ(errors[3], first);
  EXPECT_EQ(errors[4], detail);
  EXPECT_EQ(errors[5], first);
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(Reload, ASuccessAnswersTheSummaryAndEveryWarningOnBothChannels) {
  auto config = TestConfig();
  config["Messages"].erase("ShowLimitsScale");
  WriteConfig(config);
  const std::string more =
      "Config: 2 kinds, 0 item mappings, 1 warning\nwarning: Messages.ShowLimitsScale: is "
      "missing, so /limits will answer nothing; see the shipped examples/config.json for a value";
  EXPECT_EQ(server().Rcon("tw.reload").at(0).text, "Reloaded config\n" + more);
  server().Console(admin_, "tw.reload");
  EXPECT_EQ(Events("server_message").back()["text"], "Reloaded config");
  EXPECT_EQ(Events("chat").back()["text"], more);
}

// A file with 25 errors: the answer names the first 20 and counts the rest, on both channels.
TEST_F(Reload, ARefusalListsTheFirstTwentyErrorsAndCountsTheRest) {
  auto config = TestConfig();
  for (int i = 0; i < 25; ++i) {
    const std::string name = "Kind" + std::to_string(100 + i);
    config["Dinos"]["Blueprint'/Game/Test/" + name + "." + name + "'"] = {{"Count", "2"}};
  }
  WriteConfig(config);
  const std::string answer = server().Rcon("tw.reload").at(0).text;
  const auto lines = Lines(answer);
  ASSERT_GE(lines.size(), 22u) << answer;
  EXPECT_EQ(lines[0], kKept);
  for (std::size_t i = 1; i <= 20; ++i) EXPECT_TRUE(lines[i].starts_with("error: ")) << lines[i];
  EXPECT_EQ(lines[21], "\u2026 and 5 more errors");
  for (std::size_t i = 22; i < lines.size(); ++i)
    EXPECT_TRUE(lines[i].starts_with("warning: ")) << lines[i];

  server().Console(admin_, "tw.reload");
  EXPECT_EQ(Events("server_message").back()["text"], "Failed to reload config");
  EXPECT_EQ(Events("chat").back()["text"], answer);
}

// A reload that went live saves what it installed as the last good configuration, through a
// temporary file that does not stay; a refused one leaves the saved file alone and never falls
// back to it.
TEST_F(Reload, SavesTheLastGoodConfigurationOnlyWhenItGoesLive) {
  const std::filesystem::path folder = server().ConfigPath().parent_path();
  const std::filesystem::path last_good = folder / "config.last-good.json";
  const auto saved = [&] { return nlohmann::json::parse(std::ifstream(last_good)); };
  EXPECT_EQ(saved(), TestConfig());  // by the load

  auto config = TestConfig();
  config["General"]["MaxAmount"] = 30;
  WriteConfig(config);
  ASSERT_EQ(server().Rcon("tw.reload").at(0).text.substr(0, 16), "Reloaded config\n");
  EXPECT_EQ(saved(), config);
  const auto saved_at = std::filesystem::last_write_time(last_good);

  WriteConfigText("{\"General\": ");
  EXPECT_EQ(server().Rcon("tw.reload").at(0).text.rfind("[json.exception.parse_error", 0), 0u);
  std::filesystem::remove(server().ConfigPath());
  EXPECT_EQ(server().Rcon("tw.reload").at(0).text, "Can't open config.json\nthere is no file at " +
                                                       server().ConfigPath().string() + "\n" +
                                                       kKept);

  EXPECT_EQ(saved(), config);
  EXPECT_EQ(std::filesystem::last_write_time(last_good), saved_at);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // no temporary
  // What runs is what the last reload that went live installed.
  events().Clear();
  server().Chat(admin_, "/limits");
  EXPECT_EQ(Events("chat").at(0)["text"], "Raptor: 0/5\nRex: 0/3\nTotal: 0/30");
}

// Creatures the hooks never saw (added to or taken from the level directly) are the drift a
// recount corrects: its line counts the teams whose total or kind counts it changed.
TEST_F(Reload, TheRecountLineCountsTheTeamsWhoseCountsHadDrifted) {
  constexpr int32_t kA = 200001, kB = 200002;
  const auto recount = [&] {
    const std::string answer = MaskRecountTime(server().Rcon("UpdateDinos").at(0).text);
    EXPECT_EQ(MaskRecountTime(LogTexts("info").back()), answer.substr(answer.find('\n') + 1));
    return answer;
  };
  sim::Dino& rex = game().AddDino("rex", Kind(kRexPath), kA);
  game().AddDino("raptor", Kind(kRaptorPath), kB);
  EXPECT_EQ(recount(),
            "Updated All Dinos\nRecount (UpdateDinos): 2 creatures of 2 teams in # ms, 2 team "
            "counts corrected");
  EXPECT_EQ(recount(),
            "Updated All Dinos\nRecount (UpdateDinos): 2 creatures of 2 teams in # ms, 0 team "
            "counts corrected");
  // A's Rex is gone and B owns a Dodo more: both totals changed.
  game().RemoveFromLevel(rex);
  sim::Dino& dodo = game().AddDino("dodo", Kind(kDodoPath), kB);
  EXPECT_EQ(recount(),
            "Updated All Dinos\nRecount (UpdateDinos): 2 creatures of 1 team in # ms, 2 team "
            "counts corrected");
  // B's Dodo became a Rex: the same total, but a kind's count changed.
  game().RemoveFromLevel(dodo);
  game().AddDino("rex2", Kind(kRexPath), kB);
  EXPECT_EQ(recount(),
            "Updated All Dinos\nRecount (UpdateDinos): 2 creatures of 1 team in # ms, 1 team count "
            "corrected");
}

}  // namespace
