#include "sim/framework/call_trace.h"

#include <vector>

#include "sim/game/objects.h"
#include "sim/server.h"

namespace sim {
namespace {

struct Frame {
  std::string_view function;
  bool called = false;
  bool own_yes = false;  // the game's own code answered true or a thing
  bool unequipped = false;
};

std::vector<Frame>& Frames() {
  static std::vector<Frame> frames;  // game thread only
  return frames;
}

Frame* Innermost(std::string_view function) {
  auto& frames = Frames();
  for (auto it = frames.rbegin(); it != frames.rend(); ++it)
    if (it->function == function) return &*it;
  return nullptr;
}

bool Yes(const nlohmann::json& value) {
  return (value.is_boolean() && value.get<bool>()) || value.is_string();
}

}  // namespace

void NoteCalled(std::string_view function) {
  if (Frame* frame = Innermost(function)) frame->called = true;
}

void NoteOwnAnswer(std::string_view function, const nlohmann::json& value) {
  if (Frame* frame = Innermost(function)) frame->own_yes = Yes(value);
}

void NoteUnequipped() {
  if (!Frames().empty()) Frames().back().unequipped = true;
}

CallFrame::CallFrame(std::string_view function) : function_(function) {
  Frames().push_back({function_, false});
}

CallFrame::~CallFrame() {
  const Frame frame = Frames().back();
  Frames().pop_back();
  const bool refused =
      !frame.called || frame.unequipped || (frame.own_yes && value_ && !Yes(*value_));
  nlohmann::json fields = {{"line", Server::Current().events().line.load()},
                           {"function", function_},
                           {"called", frame.called},
                           {"refused", refused}};
  if (value_) fields["value"] = *value_;
  Server::Current().events().Add(EventKind::kResult, std::move(fields));
}

void CallFrame::Crashed(const std::exception_ptr& error) {
  std::string text = "unknown exception";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
  }
  Server::Current().events().Add(EventKind::kCrash, {{"function", function_}, {"text", text}});
}

nlohmann::json ResultValue(bool value) { return value; }

nlohmann::json ResultValue(const AActor* actor) {
  return actor == nullptr ? nlohmann::json(nullptr) : nlohmann::json(FromHost<Object>(actor)->name);
}

}  // namespace sim
