# corvella-cli: a console tool on the program's own code, one sub-command per job.
corvella_tool(corvella-cli
  SOURCES tools/corvella-cli/main.cpp tools/corvella-cli/http_commands.cpp tools/corvella-cli/pass_command.cpp
  DEPS corvella_http corvella_refresh)
