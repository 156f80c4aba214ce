#include "sim/framework/log_sinks.h"

#include <mutex>
#include <string>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/basic_file_sink.h>

#include "sim/framework/events.h"

namespace sim {
namespace {

class EventSink final : public spdlog::sinks::base_sink<std::mutex> {
 public:
  explicit EventSink(EventLog& events) : events_(events) {}

 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    const auto level = spdlog::level::to_string_view(message.level);
    events_.Add(EventKind::kLog,
                {{"level", std::string(level.data(), level.size())},
                 {"logger", std::string(message.logger_name.data(), message.logger_name.size())},
                 {"text", std::string(message.payload.data(), message.payload.size())}});
  }
  void flush_() override {}

 private:
  EventLog& events_;
};

}  // namespace

std::vector<spdlog::sink_ptr> MakeLogSinks(const std::filesystem::path& log_file,
                                           EventLog& events) {
  return {std::make_shared<spdlog::sinks::basic_file_sink_mt>(log_file.string()),
          std::make_shared<EventSink>(events)};
}

}  // namespace sim
