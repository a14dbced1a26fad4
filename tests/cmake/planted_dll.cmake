# A library that writes a marker when it is loaded, for the test that a DLL
# planted beside a package is never loaded.
add_library(planted_dll SHARED ${ZEL_TESTS_DIR}/dll/planted.c)
set_target_properties(planted_dll PROPERTIES PREFIX "" OUTPUT_NAME "planted")
