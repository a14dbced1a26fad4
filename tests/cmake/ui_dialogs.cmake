# The templates (and the picture) of the dialogs in src/ui that the tests
# run, and the overwrite dialog's screenshot mode shows.
target_sources(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/src/ui/OverwriteDialog.rc
                                  ${CMAKE_SOURCE_DIR}/src/ui/PasswordDialog.rc)
