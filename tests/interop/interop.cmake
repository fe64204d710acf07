# The HTTP client against real servers and proxies from Debian's packages (nginx, tinyproxy,
# squid), each group of cases in a test of its own; the servers run as this user on free
# loopback ports (tests/interop/interop.sh).
if(CORVELLA_FUZZ OR NOT CORVELLA_TESTS OR NOT TARGET corvella-cli)
  return()
endif()

set(corvella_interop_script ${PROJECT_SOURCE_DIR}/tests/interop/interop.sh)
set(corvella_interop_hosts ${CORVELLA_FEED_HOST} ${CORVELLA_RATES_HOST} ${CORVELLA_SITE_HOST})
if(WIN32)
  # The Windows tool under Wine through tinyproxy; FEEDSIM names the native feedsim.
  add_test(NAME interop_tinyproxy_wine
           COMMAND ${CMAKE_COMMAND} -E env BUILD_DIR=${CMAKE_BINARY_DIR}
                   ${corvella_interop_script} tinyproxy-wine $<TARGET_FILE:corvella-cli> "" ${corvella_interop_hosts})
  set_tests_properties(interop_tinyproxy_wine PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 120
                                                         LABELS "wine;interop" SKIP_RETURN_CODE 77)
elseif(TARGET feedsim)
  foreach(group nginx tinyproxy squid)
    add_test(NAME interop_${group}
             COMMAND ${corvella_interop_script} ${group} $<TARGET_FILE:corvella-cli> $<TARGET_FILE:feedsim>
                     ${corvella_interop_hosts})
    set_tests_properties(interop_${group} PROPERTIES TIMEOUT 120 LABELS "native;interop")
  endforeach()
endif()
