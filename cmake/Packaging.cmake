# What a Windows user downloads, both made from a Release build with corvella.exe stripped:
#   installer      packages/corvella-VERSION-setup.exe: CPack's NSIS generator with our own
#                  template (cmake/NSIS.template.in): per user, Russian, no administrator rights
#   portable-zip   packages/corvella-VERSION-portable.zip: corvella.exe, a short readme, the licence
# The version is the project's, set once in the top CMakeLists.txt.
if(NOT WIN32 OR CORVELLA_FUZZ)
  return()
endif()

set(CORVELLA_PACKAGE_DIR ${CMAKE_BINARY_DIR}/packages)
set(CORVELLA_SETUP_FILE ${CORVELLA_PACKAGE_DIR}/corvella-${PROJECT_VERSION}-setup.exe)
set(CORVELLA_PORTABLE_FILE ${CORVELLA_PACKAGE_DIR}/corvella-${PROJECT_VERSION}-portable.zip)

install(TARGETS corvella RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Corvella)
set(CPACK_PACKAGE_VENDOR Velmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME corvella-${PROJECT_VERSION}-setup)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Corvella)
set(CPACK_PACKAGE_DIRECTORY ${CORVELLA_PACKAGE_DIR})
set(CPACK_STRIP_FILES ON)
# The template is UTF-8 (Russian texts); makensis would otherwise read it in the system code page.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -INPUTCHARSET UTF8)
# The installer and the uninstaller wear the program's icon once it is there.
set(corvella_icon)
if(EXISTS ${PROJECT_SOURCE_DIR}/data/corvella.ico)
  set(corvella_icon ${PROJECT_SOURCE_DIR}/data/corvella.ico)
  set(CPACK_NSIS_MUI_ICON ${corvella_icon})
  set(CPACK_NSIS_MUI_UNIICON ${corvella_icon})
endif()
set(CPACK_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
set(CPACK_SOURCE_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackSourceConfig.cmake)
# CPack takes NSIS.template.in from the module path before its own.
list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake)
include(CPack)

if(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  # Only a Release build is shipped: refuse plainly rather than package a debug build.
  foreach(target installer portable-zip)
    add_custom_target(${target}
      COMMAND ${CMAKE_COMMAND} -E echo "${target}: packages are made from a Release build; configure with -DCMAKE_BUILD_TYPE=Release"
      COMMAND ${CMAKE_COMMAND} -E false
      VERBATIM)
  endforeach()
  return()
endif()

add_custom_command(OUTPUT ${CORVELLA_SETUP_FILE}
  COMMAND ${CMAKE_CPACK_COMMAND} -G NSIS --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS corvella ${PROJECT_SOURCE_DIR}/cmake/NSIS.template.in ${PROJECT_SOURCE_DIR}/LICENSE ${corvella_icon}
  COMMENT "Making ${CORVELLA_SETUP_FILE}"
  VERBATIM)
add_custom_target(installer DEPENDS ${CORVELLA_SETUP_FILE})

set(portable_stage ${CMAKE_BINARY_DIR}/portable)
add_custom_command(OUTPUT ${CORVELLA_PORTABLE_FILE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${portable_stage}/Corvella
  COMMAND ${CMAKE_COMMAND} -E make_directory ${portable_stage}/Corvella ${CORVELLA_PACKAGE_DIR}
  COMMAND ${CMAKE_STRIP} -o ${portable_stage}/Corvella/corvella.exe $<TARGET_FILE:corvella>
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/portable-readme.txt
          ${portable_stage}/Corvella/README.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${portable_stage}/Corvella/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E rm -f ${CORVELLA_PORTABLE_FILE}
  COMMAND ${CMAKE_COMMAND} -E chdir ${portable_stage}
          ${CMAKE_COMMAND} -E tar cf ${CORVELLA_PORTABLE_FILE} --format=zip Corvella
  DEPENDS corvella ${PROJECT_SOURCE_DIR}/data/portable-readme.txt ${PROJECT_SOURCE_DIR}/LICENSE
  COMMENT "Making ${CORVELLA_PORTABLE_FILE}"
  VERBATIM)
add_custom_target(portable-zip DEPENDS ${CORVELLA_PORTABLE_FILE})

if(CORVELLA_TESTS)
  # The installer is made by the test run itself, so that a plain build stays quick.
  add_test(NAME installer_package
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target installer corvella-probe)
  set_tests_properties(installer_package PROPERTIES FIXTURES_SETUP installer_package TIMEOUT 300
                                                    LABELS wine)
  corvella_wine_journey(installer_e2e SCRIPT installer.sh ARGS ${CORVELLA_SETUP_FILE} TIMEOUT 180
                        FIXTURE installer_package)
endif()
