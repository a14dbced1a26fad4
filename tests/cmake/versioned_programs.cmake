# Programs with fixed file versions for the condition tests, built beside
# unit_tests.exe (the tests find them there).
foreach(zel_version 2.1.0.5 2.0.9.9 13.0.1.0)
  string(REPLACE "." "_" zel_tag ${zel_version})
  string(REPLACE "." ";" zel_parts ${zel_version})
  list(GET zel_parts 0 zel_v1)
  list(GET zel_parts 1 zel_v2)
  list(GET zel_parts 2 zel_v3)
  list(GET zel_parts 3 zel_v4)
  add_executable(versioned_${zel_tag} ${ZEL_TESTS_DIR}/unit/data/versioned_main.c ${ZEL_TESTS_DIR}/unit/data/versioned_info.rc)
  target_compile_definitions(versioned_${zel_tag} PRIVATE
    ZEL_V1=${zel_v1} ZEL_V2=${zel_v2} ZEL_V3=${zel_v3} ZEL_V4=${zel_v4})
  add_dependencies(unit_tests versioned_${zel_tag})
endforeach()
