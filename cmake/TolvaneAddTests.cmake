# Run by CTest (through tolvane_discover_tests' include file): lists a
# GoogleTest program's tests with their source files and writes one add_test()
# per test, named "<file>.<Suite>.<Test>".

function(tolvane_add_tests)
    cmake_parse_arguments(arg "" "TARGET;EXECUTABLE;WORKING_DIRECTORY;TIMEOUT;TESTS_FILE" "EMULATOR;PROPERTIES" ${ARGN})
    # Relative, so that a Windows program under Wine writes it in the same place.
    set(json_name ${arg_TARGET}_tests.json)
    set(json ${arg_WORKING_DIRECTORY}/${json_name})
    file(REMOVE ${json})
    execute_process(
        COMMAND ${arg_EMULATOR} ${arg_EXECUTABLE} --gtest_list_tests --gtest_output=json:${json_name}
        WORKING_DIRECTORY ${arg_WORKING_DIRECTORY}
        TIMEOUT ${arg_TIMEOUT}
        OUTPUT_VARIABLE output ERROR_VARIABLE output
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0 OR NOT EXISTS ${json})
        message(FATAL_ERROR "Listing the tests of ${arg_EXECUTABLE} failed (${result}):\n${output}")
    endif()
    file(READ ${json} listing)
    file(REMOVE ${json})

    set(properties "")
    foreach(item IN LISTS arg_PROPERTIES)
        string(APPEND properties " [==[${item}]==]")
    endforeach()
    set(command "")
    foreach(item IN LISTS arg_EMULATOR ITEMS ${arg_EXECUTABLE})
        string(APPEND command " [==[${item}]==]")
    endforeach()

    set(out "")
    set(names "")
    string(JSON suite_count LENGTH "${listing}" testsuites)
    if(suite_count GREATER 0)
        math(EXPR last_suite "${suite_count} - 1")
        foreach(s RANGE ${last_suite})
            string(JSON suite GET "${listing}" testsuites ${s} name)
            string(JSON test_count LENGTH "${listing}" testsuites ${s} testsuite)
            if(test_count EQUAL 0)
                continue()
            endif()
            math(EXPR last_test "${test_count} - 1")
            foreach(t RANGE ${last_test})
                string(JSON test GET "${listing}" testsuites ${s} testsuite ${t} name)
                string(JSON source GET "${listing}" testsuites ${s} testsuite ${t} file)
                # The file's name, whichever way its folders are separated.
                string(REGEX REPLACE "^.*[/\\\\]" "" stem "${source}")
                string(REGEX REPLACE "\\.[^.]*$" "" stem "${stem}")
                string(REGEX REPLACE "_test$" "" stem "${stem}")
                set(name "${stem}.${suite}.${test}")
                list(FIND names "${name}" seen)
                if(NOT seen EQUAL -1)
                    message(FATAL_ERROR "Two tests of ${arg_TARGET} are both named ${name}")
                endif()
                list(APPEND names "${name}")
                set(extra "")
                set(disabled "")
                if(suite MATCHES "^DISABLED_|/DISABLED_" OR test MATCHES "^DISABLED_")
                    set(extra " --gtest_also_run_disabled_tests")
                    set(disabled " DISABLED TRUE")
                endif()
                string(APPEND out
                    "add_test([==[${name}]==]${command} [==[--gtest_filter=${suite}.${test}]==]${extra})\n"
                    "set_tests_properties([==[${name}]==] PROPERTIES"
                    " WORKING_DIRECTORY [==[${arg_WORKING_DIRECTORY}]==]"
                    " SKIP_REGULAR_EXPRESSION [==[\\[  SKIPPED \\]]==]${disabled}${properties})\n")
            endforeach()
        endforeach()
    endif()
    file(WRITE ${arg_TESTS_FILE} "${out}")
endfunction()
