#pragma once

#include <memory>
#include <string_view>

#include <spdlog/logger.h>

// The plug-in's logger, "Tamewarden", writing to the framework's own sinks.

// The process-wide holder: empty until CreateLogger, released at process exit.
std::shared_ptr<spdlog::logger>& LoggerHolder();

// Makes a new logger over the framework's sinks (pattern "%D %R [%n][%l] %v" in local time,
// flushed at info level and above) and stores it in the holder, releasing any previous one.
void CreateLogger();

// The current logger; CreateLogger must have run.
spdlog::logger& Log();

// Writes "where: what" at error level. Never throws, also when no logger exists yet.
void LogError(std::string_view where, std::string_view what) noexcept;
// Writes `what` alone at error level, in the same way.
void LogError(std::string_view what) noexcept;
