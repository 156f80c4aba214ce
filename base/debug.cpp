#include "base/debug.h"

#include <cstdio>

void WriteDebugLine(std::string text) {
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void LogDebug(std::string text) {
  if (DebugEnabled()) WriteDebugLine(std::move(text));
}
