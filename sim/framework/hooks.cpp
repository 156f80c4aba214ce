#include <algorithm>
#include <string>

#include "host/ark_api.h"
#include "sim/framework/registry.h"
#include "sim/server.h"

namespace sim {
namespace {

void Trace(std::string call) {
  if (Server::Exists()) Server::Current().Trace(std::move(call));
}

bool Refused(std::string_view name) {
  return Server::Exists() && Server::Current().HookRefused(name);
}

// The process's hook table. Detours on one function form a chain: the game calls the newest,
// and each one's `original` leads to the one installed before it, the oldest to the game's own
// function. Taking one out of the middle relinks its newer neighbour past it.
class Hooks final : public ArkApi::IHooks {
 public:
  using ArkApi::IHooks::InstallHook;

  ArkApi::HookInstall InstallHook(std::string_view name, void* detour, void** original) override {
    using ArkApi::HookInstall;
    Trace("InstallHook " + std::string(name));
    Registry::Hook* hook = TheRegistry().FindHook(name);
    if (hook == nullptr) return HookInstall::kUnknownName;
    const auto& chain = hook->chain;
    if (std::any_of(chain.begin(), chain.end(), [&](const auto& d) { return d.detour == detour; }))
      return HookInstall::kAlreadyHooked;
    if (detour == nullptr || original == nullptr || Refused(name)) return HookInstall::kDeclined;
    *original = *hook->slot;
    hook->chain.push_back({detour, original});
    *hook->slot = detour;
    return HookInstall::kInstalled;
  }

  bool RemoveHook(std::string_view name, void* detour) override {
    Trace("RemoveHook " + std::string(name));
    Registry::Hook* hook = TheRegistry().FindHook(name);
    if (hook == nullptr) return false;
    auto& chain = hook->chain;
    const auto it =
        std::find_if(chain.begin(), chain.end(), [&](const auto& d) { return d.detour == detour; });
    if (it == chain.end()) return false;
    void* next = *it->original;
    if (it + 1 == chain.end()) {
      *hook->slot = next;
    } else {
      *(it + 1)->original = next;
    }
    chain.erase(it);
    return true;
  }
};

}  // namespace
}  // namespace sim

namespace ArkApi {

IHooks& GetHooks() {
  static sim::Hooks hooks;
  return hooks;
}

}  // namespace ArkApi
