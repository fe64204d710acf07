// The sub-commands of corvella-cli. Each takes the arguments after its own name and
// returns the process exit code.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace corvella {
class RefreshPass;
}

namespace corvella::cli {

using Args = std::span<const std::string_view>;

struct SubCommand {
  std::string_view name;
  std::string_view usage;  // the arguments, for the help text
  int (*run)(Args args);
};

int RunGet(Args args);
int RunHead(Args args);
int RunPass(Args args);      // pass_command.cpp
int RunForecast(Args args);  // forecast_command.cpp

// Runs the passes "pass" runs, with its options, and hands each one's outcome and tray hint to
// `show`; the exit code is the one "pass" gives. `command` names the sub-command in messages.
int RunPasses(Args args, std::string_view command,
              const std::function<void(const RefreshPass&, const std::string&)>& show);
// Windows-1251 text written out as UTF-8.
void PrintUtf8(std::FILE* out, std::string_view cp1251);

}  // namespace corvella::cli
