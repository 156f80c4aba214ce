#include "tests/support/sim_test.h"

#include <fstream>
#include <regex>
#include <stdexcept>

std::string MaskRecountTime(const std::string& text) {
  static const std::regex kTime(R"(\bin \d+ ms\b)");
  return std::regex_replace(text, kTime, "in # ms");
}

std::filesystem::path MakeTempDir(const std::string& purpose) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / ("tamewarden-" + purpose + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

SimTest::SimTest() : dir_(MakeTempDir("test")), server_(std::make_unique<sim::Server>(dir_)) {}

SimTest::~SimTest() {
  server_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void SimTest::RestartServer() {
  server_.reset();  // one server runs at a time
  server_ = std::make_unique<sim::Server>(dir_);
}

nlohmann::json SimTest::TestConfig() {
  return {
      {"General",
       {{"IgnoreAdmin", false},
        {"MaxAmount", 20},
        {"NotificationScale", 1.5},
        {"NotificationDisplayTime", 5}}},
      {"Messages",
       {{"Sender", "Tamewarden"},
        {"ShowLimitCmd", "/limits"},
        {"ReachLimit", "Limit reached"},
        {"RestrictedInRange", "Restricted creature in range"},
        {"InvitingMergeFail", "Inviting merge fail"},
        {"InvitedMergeFail", "Invited merge fail"},
        {"InvitingTribeFail", "Inviting tribe fail"},
        {"InvitedPlayerFail", "Invited player fail"},
        {"ShowLimitsType", "Chat"},
        {"NotificationColor", {{"Red", 1}, {"Green", 0.5}, {"Blue", 0}}},
        {"ShowLimitsScale", 1.2},
        {"ShowLimitsDisplayTime", 8},
        {"ShowLimitMsg", "{0}: {1}/{2}\n"},
        {"TotalLimitMsg", "Total: {0}/{1}"}}},
      {"Dinos",
       {{kRex, {{"Count", 3}, {"Name", "Rex"}}}, {kRaptor, {{"Count", 5}, {"Name", "Raptor"}}}}},
      {"ItemMap", nlohmann::json::object()},
      {"Debug", false},
  };
}

void SimTest::WriteConfig(const nlohmann::json& config) { WriteConfigText(config.dump(2)); }

void SimTest::WriteConfigText(const std::string& text) {
  std::ofstream(server_->ConfigPath(), std::ios::trunc) << text;
}

sim::LoadResult SimTest::LoadPlugin() { return server_->LoadPlugin(TW_PLUGIN_PATH); }

std::vector<std::string> SimTest::LogTexts(const std::string& level) const {
  std::vector<std::string> texts;
  for (const auto& event : server_->events().Of("log")) {
    if (event["level"] == level) texts.push_back(event["text"]);
  }
  return texts;
}

void SimTest::ExpectRconReply(std::string_view command, int32_t id, const std::string& text) {
  SCOPED_TRACE(command);
  const auto replies = server_->Rcon(command, id);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].id, id);
  EXPECT_EQ(replies[0].type, 0);
  EXPECT_EQ(replies[0].text, text);
}

nlohmann::json SimTest::LastResult(const std::string& function) const {
  const auto results = Events("result");
  for (auto it = results.rbegin(); it != results.rend(); ++it) {
    if ((*it)["function"] == function) return *it;
  }
  return nullptr;
}

void SimTest::AddDinos(const char* path, int32_t team, int n) {
  for (int i = 0; i < n; ++i) game().AddDino("owned", Kind(path), team);
}

sim::Class& SimTest::Kind(const std::string& path) {
  sim::Class* kind = game().CreatureClass(path);
  if (kind == nullptr) throw std::invalid_argument("no creature path: " + path);
  return *kind;
}
