// Reading a configuration file's text: where the owner's slips are reported, what the parse
// finds on its own (the same key twice, text after the document), and its bounds.
#include <sys/resource.h>

#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/config.h"
#include "base/config_parse.h"
#include "base/logger.h"
#include "tests/support/sim_test.h"

namespace {

using namespace std::string_literals;
using ::testing::Contains;
using ::testing::StartsWith;

constexpr char kPath[] = "/srv/game/ArkApi/Plugins/Tamewarden/config.json";

// The JSON library's own text for `text`, which the parse keeps as its error.
std::string LibraryError(const std::string& text) {
  try {
    [[maybe_unused]] const auto document = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& error) {
    return error.what();
  }
  return "";
}

TEST(ConfigParse, SaysWhereAndWhatTheOwnersSlipsAre) {
  struct Case {
    std::string text;
    // For a file that does not parse, "line L, column C" of the cause, and how the sentence
    // about it goes on. For one that does, nothing and how its only finding begins (or nothing).
    std::string where;
    std::string says;
  };
  const std::string kind = "\"Blueprint'/Game/A/A.A'\"";
  const std::vector<Case> cases = {
      // The comma itself, not the brace on the line after it.
      {"{\n  \"General\": {\n    \"MaxAmount\": 5,\n  }\n}", "line 3, column 19",
       "a comma after the last member of an object; JSON allows none there: remove it"},
      {R"({"Tiers": [1, 2,
    ]})",
       "line 1, column 16", "a comma after the last element of an array"},
      {"{\n  // the limits\n  \"General\": {}\n}", "line 2, column 3",
       "a comment; JSON has no comments: remove it"},
      {R"({"General": {} /* all */})", "line 1, column 16", "a comment;"},
      {R"({'General': {}})", "line 1, column 2",
       "a single quote; JSON writes keys and texts in double quotes"},
      {R"({"General": {"IgnoreAdmin": True}})", "line 1, column 29",
       "True is no JSON value: write true"},
      {R"({"General": {"IgnoreAdmin": FALSE}})", "line 1, column 29", "FALSE is no JSON value"},
      // Where the comma belongs: right after the value before.
      {"{\n  \"General\": {}\n  \"Dinos\": {}\n}", "line 2, column 16",
       "a comma is missing here, between two members of an object: write one"},
      {R"({"Tiers": [{} {}]})", "line 1, column 14",
       "a comma is missing here, between two elements of an array"},
      {"\xFF\xFE{\0}\0"s, "line 1, column 1",
       "the file is saved as UTF-16 (little-endian, by its byte-order mark), not UTF-8"},
      {"{\0\n\0\"\0a\0\"\0:\0 \0\x31\0}\0"s, "line 1, column 2",
       "a zero byte; the file looks saved as UTF-16 (little-endian: a zero byte beside each "
       "character)"},
      {"\0{\0}"s, "line 1, column 1", "a zero byte; the file looks saved as UTF-16 (big-endian"},
      // Columns count characters: the é before is one.
      {"{\n \"Messages\": {\"Sender\": \"n\xC3\xA9 caf\xE9\"}}", "line 2, column 32",
       "the byte 0xE9 is no UTF-8; the file looks saved as Latin-1 or Windows-1252, where it is "
       "\xC3\xA9: save it as UTF-8"},
      {"{\"Messages\": {\"Sender\": \"it\x92s\"}}", "line 1, column 28",
       "the byte 0x92 is no UTF-8; the file looks saved as Latin-1 or Windows-1252, where it is "
       "\xE2\x80\x99"},
      // A UTF-8 byte-order mark is accepted, and is no column.
      {"\xEF\xBB\xBF{\"a\": 1,}", "line 1, column 8", "a comma after the last member"},
      {"\xEF\xBB\xBF{\"General\": {}}", "", ""},
      {R"({"General": {})", "line 1, column 15",
       "the file ends inside an object or array that was never closed: a } or ] is missing"},
      {" \n", "line 1, column 1", "the file is empty"},
      {"{ not json }", "line 1, column 4", "here the text stops being JSON"},
      // Text after the document is ignored, with a warning.
      {R"({"General": {}} {"General": 1})", "",
       "warning: (document): the plug-in ignores what follows the document ([json.exception."
       "parse_error.101] parse error at line 1, column 17: syntax error while parsing value - "
       "unexpected '{'; expected end of input)"},
      {"{\"General\": {}}\n\0{}"s, "",
       "warning: (document): the plug-in ignores what follows the document (from the zero byte "
       "at line 2, column 1)"},
      // The same key twice in one object, at any depth; in different objects it is no slip.
      {"{\n \"General\": {\n  \"MaxAmount\": 60,\n  \"MaxAmount\": 6\n }\n}", "",
       "error: General.MaxAmount: appears twice in the same object (lines 3 and 4); the plug-in "
       "would use only the last one: keep one"},
      {"{\"Dinos\": {" + kind + ": {},\n\n" + kind + ": {}}}", "",
       "error: Dinos[" + kind + "]: appears twice in the same object (lines 1 and 3)"},
      {"{\"Dinos\": {" + kind + ": {\"Count\": 1,\n\"Count\": 2}}}", "",
       "error: Dinos[" + kind + "].Count: appears twice in the same object (lines 1 and 2)"},
      {"{\"Tiers\": [{}, {\"Group\": \"a\", \"Dinos\": {\n" + kind + ": 1, " + kind + ": 2}}]}", "",
       "error: Tiers[1].Dinos[" + kind + "]: appears twice in the same object (lines 2 and 2)"},
      {R"({"a": {"x": 1}, "b": {"x": 2}, "c": [{"x": 1}, {"x": 2}]})", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedConfig parsed = ParseConfigText(c.text, kPath);
    if (c.where.empty()) {
      EXPECT_EQ(parsed.error, "");
      EXPECT_TRUE(parsed.document.is_object());
      ASSERT_EQ(parsed.findings.size(), c.says.empty() ? 0u : 1u);
      if (!c.says.empty()) {
        EXPECT_THAT(FormatFinding(parsed.findings[0]), StartsWith(c.says));
      }
    } else {
      EXPECT_EQ(parsed.error, LibraryError(c.text));  // the library's text, unchanged
      EXPECT_TRUE(parsed.document.is_null());
      EXPECT_TRUE(parsed.findings.empty());
      EXPECT_THAT(parsed.detail, StartsWith(std::string(kPath) + ", " + c.where + ": " + c.says));
    }
  }
  // Past 20 repeated keys, one more finding sums up the rest.
  std::string repeated = R"({"a": 1)";
  for (int i = 0; i < 25; ++i) repeated += R"(, "a": 1)";
  const ParsedConfig parsed = ParseConfigText(repeated + "}", kPath);
  ASSERT_EQ(parsed.findings.size(), 21u);
  EXPECT_EQ(FormatFinding(parsed.findings[20]),
            "error: (document): 5 more keys appear twice in the same object; the plug-in would "
            "use only the last of each: keep one");
}

// The most the process ever held, in bytes.
std::size_t PeakMemory() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

// An unclosed nesting is refused at the depth bound, and a file over the size cap unread: each
// costs little memory (built whole, the nesting would take gigabytes). Measured as the growth of
// the process's peak, which ctest starts afresh for each test.
TEST(ConfigParse, RefusesHugeAndDeepFilesWithLittleMemory) {
  constexpr std::size_t kLittle = 16 << 20;
  const std::filesystem::path dir = MakeTempDir("config-parse");
  const std::string huge = (dir / "huge.json").string();
  {
    std::ofstream out(huge, std::ios::binary);
    const std::string block(1 << 20, '[');
    for (int i = 0; i < 50; ++i) out << block;
  }
  std::size_t before = PeakMemory();
  ParsedConfig parsed = ParseConfigFile(huge);
  EXPECT_LT(PeakMemory() - before, kLittle);
  EXPECT_EQ(parsed.error,
            "config.json holds 52428800 bytes, more than the 8 MB the plug-in reads; a "
            "configuration is a few kilobytes: check that this is the right file");
  EXPECT_EQ(parsed.detail, huge + " was not read: it holds 52428800 bytes");

  const std::string deep(kMaxConfigBytes, '[');
  before = PeakMemory();
  parsed = ParseConfigText(deep, kPath);
  EXPECT_LT(PeakMemory() - before, kLittle);
  EXPECT_THAT(parsed.error, StartsWith("config.json nests objects and arrays deeper than 1000 "
                                       "levels, and the plug-in stopped reading it there"));
  EXPECT_EQ(parsed.detail,
            std::string(kPath) + ", line 1, column 1001: here the nesting passes 1000 levels");

  // The cap is inclusive, for a file as for a text.
  std::string padded = R"({"General": {}})";
  padded.resize(kMaxConfigBytes, ' ');
  for (std::size_t extra : {0, 1}) {
    SCOPED_TRACE(extra);
    std::ofstream((dir / "padded.json").string(), std::ios::binary) << padded;
    EXPECT_EQ(ParseConfigFile((dir / "padded.json").string()).error.empty(), extra == 0);
    EXPECT_EQ(ParseConfigText(padded, kPath).error.empty(), extra == 0);
    padded += ' ';
  }
  std::filesystem::remove_all(dir);
}

class ConfigParseInPlugin : public SimTest {
 protected:
  ConfigParseInPlugin() { CreateLogger(); }
  ~ConfigParseInPlugin() override { LoggerHolder().reset(); }
};

// The plug-in logs a parse error's detail right after it, and the parse's findings before the
// check's; a repeated key refuses the file.
TEST_F(ConfigParseInPlugin, LogsTheDetailAfterTheErrorAndRefusesRepeatedKeys) {
  const std::string path = server().ConfigPath().string();
  std::filesystem::remove(path);
  ConfigRead read = ReadCheckedConfig();
  EXPECT_EQ(read.error, "Can't open config.json");
  EXPECT_EQ(read.detail, "there is no file at " + path);
  EXPECT_EQ(LogTexts("error"), (std::vector<std::string>{read.error, read.detail}));

  WriteConfigText("{\"General\": {\"MaxAmount\": 5,}}");
  read = ReadCheckedConfig();
  EXPECT_EQ(LogTexts("error")[3], path +
                                      ", line 1, column 28: a comma after the last member of "
                                      "an object; JSON allows none there: remove it");

  WriteConfigText("{\"General\": {\"MaxAmount\": 60,\n\"MaxAmount\": 6}, \"Messages\": {}} x");
  read = ReadCheckedConfig();
  EXPECT_NE(read.Failure(), "");
  ASSERT_GE(read.findings.size(), 2u);
  EXPECT_THAT(FormatFinding(read.findings[0]),
              StartsWith("error: General.MaxAmount: appears twice"));
  EXPECT_THAT(FormatFinding(read.findings[1]),
              StartsWith("warning: (document): the plug-in ignores what follows the document"));
  EXPECT_THAT(LogTexts("error"),
              Contains("config.json: General.MaxAmount: appears twice in the same object (lines 1 "
                       "and 2); the plug-in would use only the last one: keep one"));
  EXPECT_THAT(LogTexts("warning"),
              Contains(StartsWith("config.json: (document): the plug-in ignores what follows")));
}

}  // namespace
