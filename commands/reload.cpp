// "tw.reload" on the console and over RCON. A reload is all or nothing: the file is read and
// checked aside, and only a document the check passes goes live, followed by a recount. When
// anything fails, the running configuration, the admin flag and every count stay as they were.
#include <chrono>
#include <exception>
#include <string>
#include <vector>

#include <fmt/xchar.h>

#include "base/config.h"
#include "base/guard.h"
#include "base/log_field.h"
#include "base/logger.h"
#include "base/text.h"
#include "cluster/cluster_link.h"
#include "commands/commands.h"
#include "commands/usage.h"
#include "counting/recount.h"
#include "notify/messages.h"

namespace {

// The most errors a refusal's answer lists, one a line; the rest are counted.
constexpr std::size_t kMaxAnsweredErrors = 20;

// What a reload answers: `head`, the lines it always answered over RCON ("Reloaded config", or a
// failed read's own error), then `more`, which the console sends as a chat message after its
// coloured line (a refusal's chat names the read's error after its first line). Lines are wide:
// the texts made of bytes are widened one by one, as the senders always did.
struct ReloadAnswer {
  bool ok = false;
  std::vector<std::wstring> head;
  std::vector<std::wstring> more;
};

std::wstring Widened(const std::string& text) { return FString(text.c_str()).ToWide(); }

// After a refusal: that nothing changed, then the error findings (the first kMaxAnsweredErrors,
// then how many more) and the warnings.
std::vector<std::wstring> RefusalLines(const std::vector<Finding>& findings) {
  std::vector<std::wstring> lines = {L"the running configuration was kept"};
  std::size_t errors = 0;
  for (const Finding& finding : findings) {
    if (finding.severity != Severity::kError) continue;
    if (++errors <= kMaxAnsweredErrors) lines.push_back(Widened(FormatFinding(finding)));
  }
  if (errors > kMaxAnsweredErrors) {
    const std::size_t rest = errors - kMaxAnsweredErrors;
    lines.push_back(fmt::format(L"\u2026 and {} more error{}", rest, rest == 1 ? L"" : L"s"));
  }
  for (const Finding& finding : findings) {
    if (finding.severity != Severity::kError) lines.push_back(Widened(FormatFinding(finding)));
  }
  return lines;
}

// Reloads and recounts, then tells the admin through `answer(ReloadAnswer)`. A failure is logged
// (a second time, for the read's own error) before the answer over RCON, after it on the
// console. A reload that went live is saved as the last good configuration.
template <typename Answer>
void ReloadConfig(bool log_failure_first, Answer&& answer) {
  const auto fail = [&](ReloadAnswer refused, const std::string& text) {
    if (log_failure_first) Log().error(text);
    answer(refused);
    if (!log_failure_first) Log().error(text);
  };
  ConfigRead read = ReadCheckedConfig();
  if (const std::string failure = read.Failure(); !failure.empty()) {
    ReloadAnswer refused{.more = RefusalLines(read.findings)};
    if (!read.error.empty()) refused.head.push_back(Widened(read.error));
    if (!read.detail.empty()) refused.head.push_back(Widened(LogField(read.detail)));
    fail(std::move(refused), failure);
    return;
  }
  nlohmann::json previous = InstallConfig(std::move(read.document));
  try {
    Recount(RecountReason::kReload);  // built aside: a failed one leaves the counts as they were
  } catch (const std::exception& error) {
    InstallConfig(std::move(previous));
    fail({.head = {Widened(error.what())}, .more = RefusalLines({})},
         std::string("UpdateDinoCountAll: ") + error.what());
    return;
  }
  const std::size_t warnings = CountFindings(read.findings, Severity::kWarning);
  const std::string summary = ConfigSummary(warnings);
  ReloadAnswer reloaded{.ok = true, .head = {L"Reloaded config"}, .more = {Widened(summary)}};
  for (const Finding& finding : read.findings) {
    if (finding.severity != Severity::kError)
      reloaded.more.push_back(Widened(FormatFinding(finding)));
  }
  SetRunningConfigOrigin(
      {.path = ConfigFilePath(), .loaded = std::chrono::system_clock::now(), .warnings = warnings});
  // A changed "Cluster" section reconnects; the old worker ends on its own thread.
  ApplyClusterSettings(CurrentSettings().cluster);
  answer(reloaded);
  Log().info("Reloaded Config");
  Log().info(summary);
  SaveLastGood(PluginConfig());
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += (text.empty() ? L"" : L"\n") + line;
  return text;
}

}  // namespace

void ReloadConfigCmd(APlayerController* controller, FString* command, bool) {
  auto* player = static_cast<AShooterPlayerController*>(controller);
  Guarded("tw.reload", [&] {
    if (!TakesNoWords(controller, command, L"Usage: tw.reload (no words: reloads config.json)"))
      return;
    ReloadConfig(/*log_failure_first=*/false, [&](const ReloadAnswer& answer) {
      if (answer.ok) {
        SendServerMessage(player, {0, 1, 0, 1}, "Reloaded config");
      } else {
        SendServerMessage(player, {1, 0, 0, 1}, "Failed to reload config");
      }
      std::vector<std::wstring> lines = answer.more;
      if (!answer.ok) lines.insert(lines.begin() + 1, answer.head.begin(), answer.head.end());
      SendChatMessage(player, FString(SenderName()), EscapeBraces(JoinLines(lines)).c_str());
    });
  });
}

void ReloadConfigRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
  Guarded("tw.reload", [&] {
    if (!TakesNoWords(connection, packet, L"Usage: tw.reload (no words: reloads config.json)"))
      return;
    ReloadConfig(/*log_failure_first=*/true, [&](const ReloadAnswer& answer) {
      std::vector<std::wstring> lines = answer.head;
      lines.insert(lines.end(), answer.more.begin(), answer.more.end());
      SendRconAnswer(connection, packet, FString(JoinLines(lines)));
    });
  });
}
