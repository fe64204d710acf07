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
  # Beside the data, where each of its rows starts: the program finds the stored choice's row
  # without reading the rows before it. Made at build time, so it always fits the data.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(corvella_catalogue_rows_dir "${CMAKE_BINARY_DIR}/generated/catalogue")
  set(corvella_catalogue_rows "${corvella_catalogue_rows_dir}/locations.rows")
  add_custom_command(OUTPUT "${corvella_catalogue_rows}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${corvella_catalogue_rows_dir}"
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/build/catalogue_rows.py
            ${PROJECT_SOURCE_DIR}/data/locations.txt "${corvella_catalogue_rows}"
    DEPENDS ${PROJECT_SOURCE_DIR}/data/locations.txt ${PROJECT_SOURCE_DIR}/tools/build/catalogue_rows.py
    COMMENT "Finding the catalogue's row starts")
  # corvella.exe embeds both through data/corvella.rc; rebuild it when the data changes.
  set_property(SOURCE data/corvella.rc APPEND PROPERTY OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/data/locations.txt
               "${corvella_catalogue_rows}")
endif()

set(corvella_catalogue_test_sources tests/shell/location_catalogue_test.cpp)
if(WIN32)
  # The test executable carries the data as corvella.exe does.
  list(APPEND corvella_catalogue_test_sources tests/shell/catalogue_test.rc)
  set_source_files_properties(tests/shell/catalogue_test.rc PROPERTIES
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/data/locations.txt;${corvella_catalogue_rows}")
endif()
corvella_test(catalogue_tests SOURCES ${corvella_catalogue_test_sources} DEPS corvella_catalogue)
if(WIN32 AND TARGET catalogue_tests)
  target_sources(catalogue_tests PRIVATE "${corvella_catalogue_rows}")
  target_include_directories(catalogue_tests PRIVATE "${corvella_catalogue_rows_dir}")
endif()

# Every fact the program relies on, checked on the committed data file.
corvella_test(catalogue_data_tests NATIVE_ONLY
  SOURCES tests/shell/location_data_test.cpp
  DEPS corvella_place_order)

corvella_benchmark(catalogue_bench
  SOURCES bench/catalogue_bench.cpp
  DEPS corvella_catalogue)

corvella_fuzz(catalogue_rows SOURCE tests/fuzz/catalogue_rows_fuzz.cpp DEPS corvella_catalogue)
