# payload_probe (tests/helpers) runs the stub's payload reader itself, so it
# links the stub's code.
target_link_libraries(payload_probe PRIVATE zelcore)
