#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "host/game_table.h"
#include "sim/framework/registry.h"

// How the game calls its hooked functions: through their hooks, noting whether the game's own
// function ran and what came back, and surviving anything a detour throws.
namespace sim {

// Marks the innermost running call of `function` as having reached the game's own code.
void NoteCalled(std::string_view function);
// Notes what the game's own code of the innermost running call of `function` answered, so that a
// detour that turns its yes into a no counts as a refusal.
void NoteOwnAnswer(std::string_view function, const nlohmann::json& value);
// The plug-in put away the item being equipped in the innermost running call: a refusal.
void NoteUnequipped();

// One game call in progress; reports a "result" event when it ends, "refused" saying whether the
// plug-in turned the game's action down: skipped the function, turned its yes (or a spawned
// creature) into a no (or null), or put away the item being equipped.
class CallFrame {
 public:
  explicit CallFrame(std::string_view function);
  ~CallFrame();
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;

  void SetValue(nlohmann::json value) { value_ = std::move(value); }
  // An exception left the hooks and reached the game.
  void Crashed(const std::exception_ptr& error);

 private:
  std::string function_;
  std::optional<nlohmann::json> value_;
};

nlohmann::json ResultValue(bool value);
nlohmann::json ResultValue(const AActor* actor);  // its name, or null

template <typename F>
struct ResultOf;
template <typename R, typename... A>
struct ResultOf<R(A...)> {
  using type = R;
};

// Calls the game function Name as the game itself does, through any installed hooks.
template <GameName Name, typename... Args>
auto Invoke(Args&&... args) {
  using Function = typename GameFunction<Name>::Type;
  using Result = typename ResultOf<Function>::type;
  auto* entry = reinterpret_cast<Function*>(TheRegistry().FindFunction(Name.view()));
  CallFrame frame(Name.view());
  if constexpr (std::is_void_v<Result>) {
    try {
      entry(std::forward<Args>(args)...);
    } catch (...) {
      frame.Crashed(std::current_exception());
    }
  } else {
    Result result{};
    try {
      result = entry(std::forward<Args>(args)...);
    } catch (...) {
      frame.Crashed(std::current_exception());
    }
    frame.SetValue(ResultValue(result));
    return result;
  }
}

}  // namespace sim
