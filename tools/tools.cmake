# Every tool folder declares its own targets in tools/<name>/tool.cmake.
file(GLOB corvella_tool_fragments CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/*/tool.cmake)
list(SORT corvella_tool_fragments)
foreach(fragment ${corvella_tool_fragments})
  include(${fragment})
endforeach()
