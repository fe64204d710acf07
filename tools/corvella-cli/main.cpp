// corvella-cli: checks a server or a proxy by hand with the program's own HTTP client.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/corvella-cli/commands.h"

namespace corvella::cli {
namespace {

constexpr SubCommand kCommands[] = {
    {"get", "[--proxy HOST:PORT] [--proxy-user U --proxy-password P] URL", RunGet},
    {"head", "[--proxy HOST:PORT] [--proxy-user U --proxy-password P] URL", RunHead},
    {"pass", "[--proxy HOST:PORT] [--location N] [--now \"YYYY-MM-DD HH:MM\"] [--passes N] [--set NAME=VALUE]...",
     RunPass},
    {"forecast",
     "[--proxy HOST:PORT] [--location N] [--now \"YYYY-MM-DD HH:MM\"] [--passes N] [--set NAME=VALUE]...",
     RunForecast},
};

int Usage() {
  std::fprintf(stderr, "usage:\n");
  for (const SubCommand& command : kCommands) {
    std::fprintf(stderr, "  corvella-cli %.*s %.*s\n", static_cast<int>(command.name.size()), command.name.data(),
                 static_cast<int>(command.usage.size()), command.usage.data());
  }
  return 2;
}

}  // namespace
}  // namespace corvella::cli

int main(int argc, char** argv) {
  using namespace corvella::cli;
#ifdef _WIN32
  // Bodies and hints go out byte for byte, with the same line ends as everywhere else.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  for (const SubCommand& command : kCommands) {
    if (args[0] == command.name) return command.run(Args(args).subspan(1));
  }
  return Usage();
}
