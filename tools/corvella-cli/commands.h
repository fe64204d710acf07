// The sub-commands of corvella-cli. Each takes the arguments after its own name and
// returns the process exit code.
#pragma once

#include <span>
#include <string_view>

namespace corvella::cli {

using Args = std::span<const std::string_view>;

struct SubCommand {
  std::string_view name;
  std::string_view usage;  // the arguments, for the help text
  int (*run)(Args args);
};

int RunGet(Args args);
int RunHead(Args args);
int RunPass(Args args);  // pass_command.cpp

}  // namespace corvella::cli
