# The launch tests start setup_probe.exe (a stand-in setup) and a small
# installer package; both are built beside unit_tests.exe.
add_dependencies(unit_tests setup_probe)
# A windowed program, as setups are: a console one would get a console window
# of its own under a 64-bit Wine and start late.
target_link_options(setup_probe PRIVATE -mwindows)

find_program(ZEL_WIXL wixl)
if(ZEL_WIXL)
  set(zel_probe_msi ${CMAKE_CURRENT_BINARY_DIR}/launch_probe.msi)
  add_custom_command(OUTPUT ${zel_probe_msi}
    COMMAND ${ZEL_WIXL} -o ${zel_probe_msi} probe.wxs
    WORKING_DIRECTORY ${ZEL_TESTS_DIR}/unit/data/launch
    DEPENDS ${ZEL_TESTS_DIR}/unit/data/launch/probe.wxs ${ZEL_TESTS_DIR}/unit/data/launch/probe.txt
    COMMENT "Building the installer package of the launch tests")
  add_custom_target(launch_probe_msi DEPENDS ${zel_probe_msi})
  add_dependencies(unit_tests launch_probe_msi)
else()
  message(STATUS "wixl not found: the installer-package launch test will be skipped")
endif()
