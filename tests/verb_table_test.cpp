// The verb table drives the parser, --help and the tool's reference (docs/tamewarden-sim.md), and
// the option table the command line and --help: every row must be whole and agree with what the
// others show.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/tool/embedded.h"
#include "sim/tool/options.h"
#include "sim/tool/script_grammar.h"
#include "sim/tool/script_parser.h"
#include "sim/tool/script_tokens.h"

namespace {

using sim::tool::ScriptParser;
using sim::tool::Verb;
using sim::tool::Verbs;

TEST(VerbTable, EveryRowIsWholeAndItsExampleIsAGoodLine) {
  EXPECT_EQ(sim::tool::UnknownPlaceholder(), "");
  // The examples may name what the default world and earlier examples define.
  ScriptParser parser;
  std::istringstream world(sim::tool::kDefaultWorld);
  for (std::string line; std::getline(world, line);) ASSERT_EQ(parser.Parse(line).error, "");
  const std::string help = sim::tool::HelpText();
  for (const Verb& verb : Verbs()) {
    SCOPED_TRACE(verb.usage);
    EXPECT_NE(verb.run, nullptr);
    EXPECT_EQ(sim::tool::FindVerb(verb.name()), &verb);  // one row per verb
    EXPECT_EQ(verb.kind == sim::tool::VerbKind::kAction, !verb.functions.empty());
    EXPECT_NE(help.find("  " + verb.usage + "\n"), std::string::npos);
    const auto parsed = parser.Parse(verb.example);
    EXPECT_EQ(parsed.error, "");
    ASSERT_TRUE(parsed.statement);
    EXPECT_EQ(parsed.statement->verb, &verb);
  }
}

// `help VERB` stands alone: it says what the line does, names every argument of its usage and
// holds an example, and no row's text leans on another row.
TEST(VerbTable, EveryHelpStandsAlone) {
  std::vector<std::string> names;
  for (const Verb& verb : Verbs()) names.emplace_back(verb.name());
  for (const Verb& verb : Verbs()) {
    SCOPED_TRACE(verb.usage);
    const std::string help = sim::tool::VerbHelp(verb);
    const std::string body = help.substr(help.find('\n') + 1);  // without the usage line
    EXPECT_FALSE(verb.summary.empty());
    EXPECT_NE(body.find("  example: " + verb.example + "\n"), std::string::npos) << help;
    const auto& grammar = sim::tool::Grammars().at(verb.name());
    std::vector<std::string> arguments(grammar.flags.begin(), grammar.flags.end());
    for (const std::string& key : grammar.OptionKeys()) arguments.push_back(key);
    for (const auto& slot : grammar.slots) {
      // "DINO|STRUCTURE|none" names three; "KIND[,KIND...]" one.
      for (std::string word : sim::tool::Split(slot.placeholder, '|'))
        arguments.push_back(word.substr(0, word.find('[')));
    }
    if (verb.name() == "@MAP") arguments.emplace_back("MAP");
    for (const std::string& argument : arguments)
      EXPECT_NE(body.find(argument), std::string::npos) << argument << " unexplained:\n" << help;
    if (arguments.empty()) {
      EXPECT_NE(verb.summary.find("Takes no arguments"), std::string::npos) << help;
    }
    for (const std::string& text : {verb.summary, verb.functions}) {
      for (const char* leaning : {"the same", "as above", "see ", "as `"})
        EXPECT_EQ(text.find(leaning), std::string::npos) << leaning << " in: " << text;
      for (const std::string& other : names) {
        if (other != verb.name()) {
          EXPECT_EQ(text.find("`" + other + "`"), std::string::npos) << other << " in: " << text;
        }
      }
    }
  }
}

TEST(VerbTable, TheReferenceShowsEveryRowAsTheTableMakesIt) {
  std::ifstream file(std::string(TW_SOURCE_DIR) + "/docs/tamewarden-sim.md");
  ASSERT_TRUE(file);
  const std::string readme((std::istreambuf_iterator<char>(file)), {});
  const std::string tables = sim::tool::VerbTablesMarkdown();
  // Each table, header to blank line, stands in the reference exactly as generated.
  for (std::size_t at = 0; at < tables.size();) {
    const std::size_t end = tables.find("\n\n", at);
    const std::string table = tables.substr(at, end + 2 - at);
    EXPECT_NE(readme.find(table), std::string::npos)
        << "the reference's table differs from the verb table; it should read:\n"
        << table;
    at = end + 2;
  }
}

TEST(OptionTable, EveryOptionTheHelpShowsIsOneTheParserTakes) {
  std::istringstream help(sim::tool::HelpText());
  int names = 0;
  for (std::string line; std::getline(help, line);) {
    if (!line.starts_with("  -")) continue;  // "  -v, --verbose ..." or "  --plugin PATH ..."
    std::istringstream words(line);
    for (std::string name; words >> name && name.starts_with("-"); ++names) {
      if (name.ends_with(',')) name.pop_back();
      // 1 suits every option that takes a value; --help skips the checks of the whole line.
      std::string error;
      EXPECT_TRUE(sim::tool::ParseOptions({name + "=1", "--help"}, "", error)) << name;
      EXPECT_EQ(error, "");
    }
  }
  EXPECT_EQ(names, 18);
}

}  // namespace
