#include "sim/framework/call_trace.h"

#include <vector>

#include "sim/game/objects.h"
#include "sim/server.h"

namespace sim {
namespace {

struct Frame {
  std::string_view function;
  bool called = false;
};

std::vector<Frame>& Frames() {
  static std::vector<Frame> frames;  // game thread only
  return frames;
}

}  // namespace

void NoteCalled(std::string_view function) {
  auto& frames = Frames();
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if (it->function == function) {
      it->called = true;
      return;
    }
  }
}

CallFrame::CallFrame(std::string_view function) : function_(function) {
  Frames().push_back({function_, false});
}

CallFrame::~CallFrame() {
  const bool called = Frames().back().called;
  Frames().pop_back();
  nlohmann::json fields = {
      {"line", Server::Current().events().line}, {"function", function_}, {"called", called}};
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
