# Page templates for the wizard container's tests.
target_sources(unit_tests PRIVATE ${ZEL_TESTS_DIR}/unit/data/wizard_test_pages.rc)
