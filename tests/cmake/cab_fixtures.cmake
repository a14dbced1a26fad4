# Cabinets from writers we did not write (gcab, Wine's cabarc), and zelpack's
# beside them, for the cabinet engine tests, made before the unit tests run.
# The tests reach them through drive s:, which wine-run maps to the repository.
set(ZEL_CAB_FIXTURES ${CMAKE_BINARY_DIR}/cab_fixtures)
add_test(NAME cab_fixtures
  COMMAND bash ${ZEL_TESTS_DIR}/unit/cab_fixtures.sh ${ZEL_CAB_FIXTURES} ${ZEL_WINE_RUN} ${ZEL_WINEPREFIX}
          "${ZEL_ZELPACK}" $<TARGET_FILE:ZelSelfExtractorUI>)
set_tests_properties(cab_fixtures PROPERTIES FIXTURES_SETUP cab_fixtures TIMEOUT 300)
file(RELATIVE_PATH ZEL_CAB_FIXTURES_REL ${CMAKE_SOURCE_DIR} ${ZEL_CAB_FIXTURES})
if(NOT ZEL_CAB_FIXTURES_REL MATCHES "^\\.\\.")
  set_property(TEST unit APPEND PROPERTY FIXTURES_REQUIRED cab_fixtures)
  set_property(TEST unit APPEND PROPERTY ENVIRONMENT "ZEL_CAB_FIXTURES=S:/${ZEL_CAB_FIXTURES_REL}")
endif()
# The stored-time rule once more in a zone away from UTC, where local time
# and UTC differ.
add_test(NAME cab_local_time COMMAND ${ZEL_CHECK_SKIPS} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:unit_tests>
  --gtest_filter=CabEngineTest.StoredTime*)
set_tests_properties(cab_local_time PROPERTIES ENVIRONMENT "TZ=America/New_York" TIMEOUT 120
  SKIP_RETURN_CODE ${ZEL_SKIPPED_EXIT})
