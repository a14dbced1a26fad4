# Drive letters, network shares and unwritable folders for the path tests.
set(ZEL_PATHS_FIXTURE ${ZEL_TESTS_DIR}/unit/paths_drives_fixture.sh)
add_test(NAME paths_drives_setup COMMAND ${ZEL_PATHS_FIXTURE} setup ${ZEL_WINE_RUN} ${ZEL_WINEPREFIX})
add_test(NAME paths_drives_cleanup COMMAND ${ZEL_PATHS_FIXTURE} cleanup ${ZEL_WINE_RUN} ${ZEL_WINEPREFIX})
set_tests_properties(paths_drives_setup PROPERTIES FIXTURES_SETUP paths_drives TIMEOUT 120)
set_tests_properties(paths_drives_cleanup PROPERTIES FIXTURES_CLEANUP paths_drives TIMEOUT 120)
set_property(TEST unit APPEND PROPERTY FIXTURES_REQUIRED paths_drives)
