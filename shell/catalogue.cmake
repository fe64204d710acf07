# The location catalogue: its loader, and the embedded data/locations.txt (a resource on
# Windows, assembled into read-only data elsewhere).
corvella_library(corvella_catalogue
  SOURCES shell/location_catalogue.cpp
  WIN32_SOURCES shell/catalogue_data_win32.cpp
  POSIX_SOURCES shell/catalogue_data_posix.cpp
  DEPS corvella_common)
if(NOT WIN32)
  set_source_files_properties(shell/catalogue_data_posix.cpp PROPERTIES
    COMPILE_DEFINITIONS CORVELLA_LOCATIONS_FILE="${PROJECT_SOURCE_DIR}/data/locations.txt"
    OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/data/locations.txt)
endif()

if(WIN32)
  # corvella.exe embeds the data through data/corvella.rc; rebuild it when the data changes.
  set_property(SOURCE data/corvella.rc APPEND PROPERTY OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/data/locations.txt)
endif()

set(corvella_catalogue_test_sources tests/shell/location_catalogue_test.cpp)
if(WIN32)
  # The test executable carries the data as corvella.exe does.
  list(APPEND corvella_catalogue_test_sources tests/shell/catalogue_test.rc)
  set_source_files_properties(tests/shell/catalogue_test.rc PROPERTIES
    OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/data/locations.txt)
endif()
corvella_test(catalogue_tests SOURCES ${corvella_catalogue_test_sources} DEPS corvella_catalogue)

# Every fact the program relies on, checked on the committed data file.
corvella_test(catalogue_data_tests NATIVE_ONLY
  SOURCES tests/shell/location_data_test.cpp
  DEPS corvella_place_order)

corvella_benchmark(catalogue_bench
  SOURCES tests/benchmarks/catalogue_bench.cpp
  DEPS corvella_catalogue)

corvella_fuzz(catalogue_rows SOURCE tests/fuzz/catalogue_rows_fuzz.cpp DEPS corvella_catalogue)
