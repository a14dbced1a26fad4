# Operating-system names under the Windows versions Wine can report. The
# version is a prefix setting, so this test has a prefix of its own.
add_test(NAME os_versions
  COMMAND ${ZEL_CHECK_SKIPS} bash ${ZEL_TESTS_DIR}/wine_os_versions.sh ${ZEL_WINE_RUN}
          ${CMAKE_BINARY_DIR}/wineprefix-osversions $<TARGET_FILE:unit_tests>)
set_tests_properties(os_versions PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE ${ZEL_SKIPPED_EXIT})
