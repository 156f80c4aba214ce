// tamewarden-sim: the stand-in game server. For now it starts a small default world, loads the
// plug-in with the shipped default configuration, and prints what the plug-in registered.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "sim/server.h"

namespace {

std::filesystem::path FreshServerDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tamewarden-sim-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a temporary directory");
  return pattern;
}

void AddDefaultWorld(sim::Game& game) {
  game.AddPlayer({"alice", 100001, 76561198000000001ull, 200001});
  game.AddPlayer({"bob", 100002, 76561198000000002ull, 200001});
  game.AddPlayer({"carol", 100003, 76561198000000003ull, 0});
  sim::Class* rex =
      game.CreatureClass("/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP");
  sim::Class* raptor =
      game.CreatureClass("/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP");
  game.AddDino("rex1", *rex, 200001);
  game.AddDino("rex2", *rex, 200001);
  game.AddDino("raptor1", *raptor, 100003);
  game.AddDino("wild_raptor", *raptor, 0);
}

}  // namespace

int main() {
  try {
    const std::filesystem::path dir = FreshServerDir();
    sim::Server server(dir);
    std::filesystem::copy_file(std::filesystem::path(TW_EXAMPLES_DIR) / "config.json",
                               server.ConfigPath());
    AddDefaultWorld(server.game());
    server.Start();
    const sim::LoadResult loaded = server.LoadPlugin(TW_DEFAULT_PLUGIN);
    std::cout << "server directory: " << dir.string() << "\n";
    std::cout << "plug-in " << (loaded.ok ? "loaded" : "failed to load: " + loaded.error) << "\n";
    for (const std::string& call : server.trace()) std::cout << "  " << call << "\n";
    server.UnloadPlugin();
    return loaded.ok ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "tamewarden-sim: " << error.what() << "\n";
    return 1;
  }
}
