# feedsim: the local stand-in for the feed, the rates page and the maker's site, and the
# model of what it serves (shared with the tests that check what the program extracted).
if(NOT WIN32 AND NOT CORVELLA_FUZZ)
  corvella_library(corvella_feedsim_model
    SOURCES tools/feedsim/sim_model.cpp
    DEPS corvella_common)
  corvella_tool(feedsim
    SOURCES tools/feedsim/feedsim.cpp
    DEPS corvella_feedsim_model corvella_servers Threads::Threads)
endif()
