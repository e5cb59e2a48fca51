# tolvane_discover_tests(<target> [DISCOVERY_TIMEOUT <seconds>] [PROPERTIES <name> <value>...])
#
# Like gtest_discover_tests(... DISCOVERY_MODE PRE_TEST), but each test is named
# "<file>.<Suite>.<Test>", <file> being the name of the source file that
# defines it without "_test.cpp": one test program holds many files, and
# `ctest -R main_window_shell` then runs exactly main_window_shell_test.cpp's
# tests. GoogleTest's JSON listing gives each test's file. The listing runs
# when CTest reads the tests, again only after the program was rebuilt.

set(TOLVANE_ADD_TESTS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/TolvaneAddTests.cmake)

function(tolvane_discover_tests target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "DISCOVERY_TIMEOUT" "PROPERTIES")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "tolvane_discover_tests: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT arg_DISCOVERY_TIMEOUT)
        set(arg_DISCOVERY_TIMEOUT 60)
    endif()
    get_property(emulator TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR)
    # Lists go over one argument each: bracket quoting keeps them whole.
    set(emulator_args "")
    foreach(item IN LISTS emulator)
        string(APPEND emulator_args " [==[${item}]==]")
    endforeach()
    set(property_args "")
    foreach(item IN LISTS arg_PROPERTIES)
        string(APPEND property_args " [==[${item}]==]")
    endforeach()

    set(base ${CMAKE_CURRENT_BINARY_DIR}/${target}_tests)
    set(tests_file ${base}.cmake)
    set(include_file ${base}_include.cmake)
    string(CONCAT content
        "if(EXISTS [==[$<TARGET_FILE:${target}>]==])\n"
        "  if(NOT EXISTS [==[${tests_file}]==] OR\n"
        "     NOT [==[${tests_file}]==] IS_NEWER_THAN [==[$<TARGET_FILE:${target}>]==] OR\n"
        "     NOT [==[${tests_file}]==] IS_NEWER_THAN [==[${TOLVANE_ADD_TESTS_SCRIPT}]==] OR\n"
        "     NOT [==[${tests_file}]==] IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\")\n"
        "    include([==[${TOLVANE_ADD_TESTS_SCRIPT}]==])\n"
        "    tolvane_add_tests(\n"
        "      TARGET [==[${target}]==]\n"
        "      EXECUTABLE [==[$<TARGET_FILE:${target}>]==]\n"
        "      EMULATOR${emulator_args}\n"
        "      WORKING_DIRECTORY [==[${CMAKE_CURRENT_BINARY_DIR}]==]\n"
        "      TIMEOUT [==[${arg_DISCOVERY_TIMEOUT}]==]\n"
        "      PROPERTIES${property_args}\n"
        "      TESTS_FILE [==[${tests_file}]==])\n"
        "  endif()\n"
        "  include([==[${tests_file}]==])\n"
        "else()\n"
        "  add_test([==[${target}_NOT_BUILT]==] [==[${target}_NOT_BUILT]==])\n"
        "endif()\n")
    file(GENERATE OUTPUT ${include_file} CONTENT "${content}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
