#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sim/server.h"

// A new empty directory under the system's temporary one, named for its purpose.
std::filesystem::path MakeTempDir(const std::string& purpose);

// A fresh stand-in server per test, in its own temporary server directory.
class SimTest : public ::testing::Test {
 public:
  // A complete configuration with two limited kinds (see sim_test.cpp); tests change what they
  // need before writing it.
  static nlohmann::json TestConfig();

 protected:
  SimTest();
  ~SimTest() override;

  // Replaces the server with a fresh one in the same directory (the old one unloads the plug-in
  // first), for a test that plays many runs.
  void RestartServer();

  void WriteConfig(const nlohmann::json& config);
  void WriteConfigText(const std::string& text);

  // Loads the built plug-in library into the server.
  sim::LoadResult LoadPlugin();

  sim::Server& server() { return *server_; }
  sim::Game& game() { return server_->game(); }
  sim::EventLog& events() { return server_->events(); }
  const std::filesystem::path& dir() const { return dir_; }

  // The texts of the plug-in's log lines at one level ("info", "warning", "error"), in order.
  std::vector<std::string> LogTexts(const std::string& level) const;
  // The events of one kind since the test began.
  std::vector<nlohmann::json> Events(const std::string& kind) const {
    return server_->events().Of(kind);
  }

  // Sends an RCON command and expects one reply to it: the request's id, type 0 and `text`.
  void ExpectRconReply(std::string_view command, int32_t id, const std::string& text);

  // The last "result" event of a game function ({function, called, value}), or null.
  nlohmann::json LastResult(const std::string& function) const;

  // n creatures of a kind owned by `team` (0: wild), added to the level.
  void AddDinos(const char* path, int32_t team, int n);

  // A kind's class by its path, such as
  // "/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP".
  sim::Class& Kind(const std::string& path);

 private:
  std::filesystem::path dir_;
  std::unique_ptr<sim::Server> server_;
};

// `text` with every recount's time ("in 3 ms") written "in # ms", so that a recount line can be
// compared whole.
std::string MaskRecountTime(const std::string& text);

// Blueprint paths of real creature kinds, as the configuration names them.
inline constexpr char kRexPath[] = "/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP";
inline constexpr char kRex[] =
    "Blueprint'/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP'";
inline constexpr char kRaptorPath[] =
    "/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP";
inline constexpr char kRaptor[] =
    "Blueprint'/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP'";
inline constexpr char kDodoPath[] =
    "/Game/PrimalEarth/Dinos/Dodo/Dodo_Character_BP.Dodo_Character_BP";
inline constexpr char kDodo[] =
    "Blueprint'/Game/PrimalEarth/Dinos/Dodo/Dodo_Character_BP.Dodo_Character_BP'";
