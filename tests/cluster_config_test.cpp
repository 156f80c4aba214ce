// The maps of a cluster rehearsal: their names on the command line, and each map's "Cluster"
// section made from the run's config.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/tool/cluster_config.h"

namespace {

using nlohmann::ordered_json;
using sim::tool::ApplyClusterKeys;
using sim::tool::ClusterKeys;
using sim::tool::ParseMapNames;

TEST(ClusterMaps, NamesAreCheckedAndKeptInOrder) {
  struct Case {
    std::string list;
    std::vector<std::string> names;  // empty: refused
    std::string error = "";
  };
  const std::string longest(64, 'm');
  const std::vector<Case> cases = {
      {"TheIsland,Ragnarok", {"TheIsland", "Ragnarok"}},
      {"b,a,c_1.x-y", {"b", "a", "c_1.x-y"}},
      {"a," + longest, {"a", longest}},
      {"a," + longest + "m", {}, "bad map name"},
      {"a,,b", {}, "bad map name \"\""},
      {"a,b,", {}, "bad map name \"\""},
      {"a,b c", {}, "bad map name \"b c\""},
      {"a,b/c", {}, "bad map name"},
      {"a,b,a", {}, "the map a is named twice"},
      {"a,A", {"a", "A"}},  // names are compared exactly, as the database does
      {"alone", {}, "two maps or more"},
      {"", {}, "bad map name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    std::string error;
    EXPECT_EQ(ParseMapNames(c.list, error), c.names);
    if (c.names.empty())
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    else
      EXPECT_EQ(error, "");
  }
}

TEST(ClusterMaps, EachMapsSectionIsTheFilesOrTheFallbackWithItsKeysSet) {
  ClusterKeys keys;
  keys.fallback = ordered_json::parse(R"({"MysqlHost": "db", "ClusterName": "main"})");
  keys.defaults = ordered_json::parse(R"({"ClusterName": "rehearsal", "SyncIntervalMs": 100})");
  keys.forced = ordered_json::parse(R"({"ServerName": "Ragnarok", "MysqlSocket": "/s"})");
  struct Case {
    std::string config;
    std::string cluster;  // the section after; empty: the document is left alone
  };
  const std::vector<Case> cases = {
      // No section: the fallback, with the defaults it lacks and the forced keys.
      {R"({"General": {}})",
       R"({"MysqlHost":"db","ClusterName":"main","SyncIntervalMs":100,"ServerName":"Ragnarok","MysqlSocket":"/s"})"},
      // The file's own section wins over the fallback and the defaults; forced keys win over it.
      {R"({"Cluster": {"ServerName": "X", "MysqlSocket": "", "ClusterName": "c", "SyncIntervalMs": 50}})",
       R"({"ServerName":"Ragnarok","MysqlSocket":"/s","ClusterName":"c","SyncIntervalMs":50})"},
      {R"({"Cluster": {}})",
       R"({"ClusterName":"rehearsal","SyncIntervalMs":100,"ServerName":"Ragnarok","MysqlSocket":"/s"})"},
      // A section that is no object is replaced, as if there were none.
      {R"({"Cluster": 3})",
       R"({"MysqlHost":"db","ClusterName":"main","SyncIntervalMs":100,"ServerName":"Ragnarok","MysqlSocket":"/s"})"},
      {"[1, 2]", ""},
  };
  // Through the messages the maps are sent, which must keep every key and its order.
  const ClusterKeys sent = ClusterKeys::FromJson(nlohmann::json::parse(keys.ToJson().dump()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    ordered_json config = ordered_json::parse(c.config);
    const ordered_json before = config;
    EXPECT_EQ(ApplyClusterKeys(config, sent), !c.cluster.empty());
    if (c.cluster.empty()) {
      EXPECT_EQ(config, before);
      continue;
    }
    EXPECT_EQ(config["Cluster"].dump(), c.cluster);
    // Nothing else in the file changes.
    config.erase("Cluster");
    ordered_json rest = before;
    rest.erase("Cluster");
    EXPECT_EQ(config, rest);
  }
}

}  // namespace
