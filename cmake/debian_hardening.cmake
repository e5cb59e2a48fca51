# The hardening Debian gives its own packages (dpkg-buildflags with every
# hardening feature: fortify, stack protector, format checks, relro and
# bind-now), for the native Linux programs. Not with the sanitizers, which
# bring checks of their own, nor where dpkg-buildflags is missing.
find_program(TOLVANE_DPKG_BUILDFLAGS dpkg-buildflags)
if(TOLVANE_DPKG_BUILDFLAGS AND NOT CMAKE_CROSSCOMPILING AND NOT TOLVANE_SANITIZE
   AND NOT TOLVANE_FUZZ)
    function(tolvane_buildflags kind out)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${TOLVANE_DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        set(${out} ${flags} PARENT_SCOPE)
    endfunction()
    tolvane_buildflags(CPPFLAGS cppflags)
    tolvane_buildflags(CXXFLAGS cxxflags)
    tolvane_buildflags(LDFLAGS ldflags)
    # Only the hardening: the build type keeps choosing optimisation and
    # debugging information.
    list(FILTER cxxflags INCLUDE REGEX "^-(fstack-protector|fstack-clash|fcf-protection|Wformat|Werror=format)")
    add_compile_options(${cppflags} ${cxxflags})
    add_link_options(${ldflags})
endif()
