# How every test runs: offscreen, with a fixed locale, a private runtime directory and the
# sanitizer options of this build. CTest, scripts/test (the fuzzer) and bench/run all take the
# environment from here; the latter two read it from <build>/test-environment.

set(QUILT_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/tests/runtime)
file(MAKE_DIRECTORY ${QUILT_TEST_RUNTIME_DIR})
# Qt ignores a runtime directory that others may read.
file(CHMOD ${QUILT_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(QUILT_TEST_ENVIRONMENT_ALL
    "QT_QPA_PLATFORM=offscreen"
    "LANG=C.UTF-8"
    "LC_ALL=C.UTF-8"
    "XDG_RUNTIME_DIR=${QUILT_TEST_RUNTIME_DIR}"
    "QT_LOGGING_RULES=qt.qpa.*=false"
    ${QUILT_TEST_ENVIRONMENT})
list(JOIN QUILT_TEST_ENVIRONMENT_ALL "\n" quilt_environment_lines)
file(WRITE ${CMAKE_BINARY_DIR}/test-environment "${quilt_environment_lines}\n")

# quilt_add_test(<name> COMMAND <command> [args...] [TIMEOUT <seconds>] [LABELS <label>...]
#                [SKIP_RETURN_CODE <code>])
function(quilt_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT;SKIP_RETURN_CODE" "COMMAND;LABELS")
    if(NOT arg_TIMEOUT)
        set(arg_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${arg_COMMAND})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${arg_TIMEOUT}
        ENVIRONMENT "${QUILT_TEST_ENVIRONMENT_ALL}")
    if(arg_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${arg_LABELS}")
    endif()
    if(DEFINED arg_SKIP_RETURN_CODE)
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE ${arg_SKIP_RETURN_CODE})
    endif()
endfunction()
