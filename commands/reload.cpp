// "tw.reload" on the console and over RCON. A reload is all or nothing: the file is read and
// checked aside, and only a document the check passes goes live, followed by a recount. When
// anything fails, the running configuration, the admin flag and every count stay as they were.
#include <exception>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/guard.h"
#include "base/logger.h"
#include "commands/commands.h"
#include "commands/usage.h"
#include "counting/recount.h"
#include "notify/messages.h"

namespace {

// Reloads and recounts, then tells the admin through `answer(ok, lines)`: on failure `lines`
// holds the read's own error text, if any, then every finding of the check. A failure is logged
// (a second time, for the read's own error) before the answer over RCON, after it on the console.
template <typename Answer>
void ReloadConfig(bool log_failure_first, Answer&& answer) {
  const auto fail = [&](const std::vector<std::string>& lines, const std::string& text) {
    if (log_failure_first) Log().error(text);
    answer(false, lines);
    if (!log_failure_first) Log().error(text);
  };
  ConfigRead read = ReadCheckedConfig();
  if (const std::string failure = read.Failure(); !failure.empty()) {
    std::vector<std::string> lines;
    if (!read.error.empty()) lines.push_back(read.error);
    for (const Finding& finding : read.findings) lines.push_back(FormatFinding(finding));
    fail(lines, failure);
    return;
  }
  nlohmann::json previous = InstallConfig(std::move(read.document));
  try {
    UpdateDinoCountAll();  // built aside: a failed recount leaves the counts as they were
  } catch (const std::exception& error) {
    InstallConfig(std::move(previous));
    fail({error.what()}, std::string("UpdateDinoCountAll: ") + error.what());
    return;
  }
  answer(true, std::vector<std::string>{"Reloaded config"});
  Log().info("Reloaded Config");
  Log().info(ConfigSummary(CountFindings(read.findings, Severity::kWarning)));
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

void ReloadConfigCmd(APlayerController* controller, FString* command, bool) {
  auto* player = static_cast<AShooterPlayerController*>(controller);
  Guarded("tw.reload", [&] {
    if (!TakesNoWords(controller, command, L"Usage: tw.reload (no words: reloads config.json)"))
      return;
    ReloadConfig(/*log_failure_first=*/false, [&](bool ok, const std::vector<std::string>&) {
      if (ok) {
        SendServerMessage(player, {0, 1, 0, 1}, "Reloaded config");
      } else {
        SendServerMessage(player, {1, 0, 0, 1}, "Failed to reload config");
      }
    });
  });
}

void ReloadConfigRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
  Guarded("tw.reload", [&] {
    if (!TakesNoWords(connection, packet, L"Usage: tw.reload (no words: reloads config.json)"))
      return;
    ReloadConfig(/*log_failure_first=*/true, [&](bool, const std::vector<std::string>& lines) {
      SendRconAnswer(connection, packet, JoinLines(lines).c_str());
    });
  });
}
