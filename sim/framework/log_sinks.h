#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include <spdlog/common.h>

namespace sim {

class EventLog;

// The framework's log sinks: a file under the server directory, and one that turns every line
// into a "log" event {level, logger, text}.
std::vector<spdlog::sink_ptr> MakeLogSinks(const std::filesystem::path& log_file, EventLog& events);

}  // namespace sim
