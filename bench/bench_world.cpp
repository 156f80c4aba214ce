#include "bench/bench_world.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "counting/recount.h"
#include "base/config.h"
#include "base/logger.h"

namespace {

constexpr int kKinds = 300;
constexpr int kConfiguredKinds = 200;
constexpr int kTeams = 5000;

// The real creature kinds, then modded variants of them up to 300.
std::vector<std::string> LoadKinds() {
  std::ifstream file(TW_CREATURES_TSV);
  std::vector<std::string> real;
  for (std::string line; std::getline(file, line);) {
    const auto tab = line.find('\t');
    if (tab != std::string::npos) real.push_back(line.substr(tab + 1));
  }
  if (real.empty())
    throw std::runtime_error("no creature kinds in " + std::string(TW_CREATURES_TSV));
  std::vector<std::string> kinds = real;
  for (std::size_t i = 0; kinds.size() < kKinds; ++i) {
    const std::string& base = real[i % real.size()];
    const std::string object = base.substr(base.rfind('.') + 1) + "_Variant";
    kinds.push_back("/Game/Mods/Variants/" + object + "." + object);
  }
  kinds.resize(kKinds);
  return kinds;
}

}  // namespace

std::string Wrapped(const std::string& path) { return "Blueprint'" + path + "'"; }

namespace {
std::unique_ptr<BenchWorld>& Current() {
  static std::unique_ptr<BenchWorld> world;
  return world;
}
int64_t current_size = -1;
}  // namespace

BenchWorld& BenchWorld::Get(int64_t actors) {
  if (current_size != actors || Current() == nullptr) {
    Current().reset();
    Current().reset(new BenchWorld(actors));
    current_size = actors;
  }
  return *Current();
}

void BenchWorld::Release() { Current().reset(); }

BenchWorld::BenchWorld(int64_t actors) : kinds_(LoadKinds()) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tamewarden-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  server_ = std::make_unique<sim::Server>(dir_);

  nlohmann::json dinos = nlohmann::json::object();
  for (int k = 0; k < kConfiguredKinds; ++k)
    dinos[Wrapped(kinds_[k])] = {{"Count", 40}, {"Name", kinds_[k]}};
  // Two tiers, as a server with donors and staff has: the second changes three kinds' limits.
  nlohmann::json vip_kinds = nlohmann::json::object();
  for (int k = 0; k < 3; ++k) vip_kinds[Wrapped(kinds_[k])] = {{"Count", 50}};
  const nlohmann::json tiers = {{{"Group", "Staff"}, {"Unlimited", true}},
                                {{"Group", "VIP"}, {"MaxAmount", 600}, {"Dinos", vip_kinds}}};
  InstallConfig({{"General", {{"MaxAmount", 500}, {"IgnoreAdmin", false}}},
                 {"Messages", nlohmann::json::object()},
                 {"Dinos", dinos},
                 {"Tiers", tiers},
                 {"Debug", false}});
  CreateLogger();

  sim::Game& game = server_->game();
  std::vector<sim::Class*> classes;
  for (const auto& kind : kinds_) classes.push_back(game.CreatureClass(kind));
  // Of the creatures: three quarters tamed and alive, an eighth tamed but dead, an eighth wild.
  const int64_t creatures = actors / 5;
  const int64_t tamed = creatures * 3 / 4;
  const int64_t dead = creatures / 8;
  for (int64_t i = 0; i < actors; ++i) {
    if (i % 5 != 0) {
      game.AddStructure("s");
      continue;
    }
    const int64_t n = i / 5;  // the creature's number
    sim::Class& kind = *classes[n % kKinds];
    const auto team = static_cast<int32_t>(100001 + n % kTeams);
    if (n < tamed) {
      game.AddDino("d", kind, team);
      ++tamed_living_;
    } else if (n < tamed + dead) {
      game.AddDino("x", kind, team).set_dead(true);
    } else {
      game.AddDino("w", kind, 0);
    }
  }
  server_->set_server_state(1);
}

BenchWorld::~BenchWorld() {
  server_.reset();
  LoggerHolder().reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}
