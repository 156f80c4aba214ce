#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/tool/script_runner.h"
#include "tests/support/sim_test.h"

// The stand-in server driven by script lines, as tamewarden-sim drives it: a runner over the
// fixture's server that loads the built plug-in, finds `config FILE` in the test's directory
// and sets the scene with `default_world` when a script sets none.
class ScriptTest : public SimTest {
 protected:
  explicit ScriptTest(std::string default_world = "") : default_world_(std::move(default_world)) {
    NewRunner();
  }

  // Runs every line, numbered on from the last one run; success when each ran, or else the
  // lines that failed.
  ::testing::AssertionResult Run(const std::vector<std::string>& lines) {
    std::string failed;
    for (const std::string& line : lines) {
      if (!runner_->RunLine(line, ++line_)) failed += "\n  " + line;
    }
    if (failed.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "lines that failed:" << failed;
  }

  // A fresh server and runner in the same directory, for a test that plays many runs.
  void Restart() {
    runner_.reset();
    RestartServer();
    NewRunner();
  }

  sim::tool::ScriptRunner& runner() { return *runner_; }

 private:
  void NewRunner() {
    runner_ = std::make_unique<sim::tool::ScriptRunner>(
        server(), sim::tool::RunnerSettings{TW_PLUGIN_PATH, dir(), default_world_});
    line_ = 0;
  }

  std::string default_world_;
  std::unique_ptr<sim::tool::ScriptRunner> runner_;
  int line_ = 0;
};
