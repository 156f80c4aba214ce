#include "base/logger.h"

#include "host/ark_api.h"

std::shared_ptr<spdlog::logger>& LoggerHolder() {
  static std::shared_ptr<spdlog::logger> holder;
  return holder;
}

void CreateLogger() {
  const auto& sinks = ArkApi::GetLogSinks();
  auto logger = std::make_shared<spdlog::logger>("Tamewarden", sinks.begin(), sinks.end());
  logger->set_pattern("%D %R [%n][%l] %v", spdlog::pattern_time_type::local);
  logger->flush_on(spdlog::level::info);
  LoggerHolder() = std::move(logger);
}

spdlog::logger& Log() { return *LoggerHolder(); }

void LogError(std::string_view where, std::string_view what) noexcept {
  try {
    if (const auto& logger = LoggerHolder()) logger->error("{}: {}", where, what);
  } catch (...) {
    // Nothing more can be reported; the game must not see the failure.
  }
}

void LogError(std::string_view what) noexcept {
  try {
    if (const auto& logger = LoggerHolder()) logger->error("{}", what);
  } catch (...) {
    // As above.
  }
}
