# A 2 MiB Wine drive for the free-space tests of the extraction folder.
set(ZEL_SMALL_DRIVE_FIXTURE ${ZEL_TESTS_DIR}/unit/small_drive_fixture.sh)
add_test(NAME small_drive_setup COMMAND ${ZEL_SMALL_DRIVE_FIXTURE} setup ${ZEL_WINE_RUN} ${ZEL_WINEPREFIX})
add_test(NAME small_drive_cleanup COMMAND ${ZEL_SMALL_DRIVE_FIXTURE} cleanup ${ZEL_WINE_RUN} ${ZEL_WINEPREFIX})
set_tests_properties(small_drive_setup PROPERTIES FIXTURES_SETUP small_drive TIMEOUT 120)
set_tests_properties(small_drive_cleanup PROPERTIES FIXTURES_CLEANUP small_drive TIMEOUT 120)
set_property(TEST unit APPEND PROPERTY FIXTURES_REQUIRED small_drive)
