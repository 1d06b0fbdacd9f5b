# add_qt_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>] [LABELS <l...>])
# Builds one QtTest executable and registers it with CTest. Every test runs offscreen,
# with a UTF-8 C locale, and (through tests/support) with a private settings directory.
function(add_qt_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test vexa_test_support ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set(environment "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8")
    if(VEXA_SANITIZER_REPORTS)
        # Leaks are checked for the programs without a GUI (the GUI libraries
        # keep caches until exit); every finding stops the process at once.
        set(leaks 0)
        if(ARG_LABELS MATCHES "^(sim|simcan|accesslib)$")
            set(leaks 1)
        endif()
        list(APPEND environment
            "ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=${leaks}:log_path=${VEXA_SANITIZER_REPORTS}/asan"
            "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:log_path=${VEXA_SANITIZER_REPORTS}/ubsan"
            "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/scripts/lsan.supp")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "${environment}"
        LABELS "${ARG_LABELS}")
endfunction()
