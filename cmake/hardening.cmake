# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening flags for the optimised builds: fortified libc calls, the stack
# protector, RELRO and BIND_NOW, as dpkg-buildflags gives them on this system, so that a
# package built from such a tree is hardened like one built by Debian. Optimisation and
# debug info stay the build type's, and the debug info of a build tree keeps the sources'
# full paths for the debugger. Without dpkg-buildflags (no dpkg-dev) the build goes on
# without them.
#
# qv12_add_hardening(TARGET): adds the flags to TARGET's interface (compile and link).
option(QV12_HARDENING "Build Release, RelWithDebInfo and MinSizeRel with Debian's hardening flags" ON)
find_program(QV12_DPKG_BUILDFLAGS dpkg-buildflags)

# A generator expression, 1 in a configuration built with the flags: the package's tests
# check the programs' hardening there.
set(QV12_HARDENED_BUILD 0)

function(qv12_dpkg_buildflags variable out)
    # BIND_NOW is not among dpkg's defaults. Fortify level 3 (gcc 12, clang 9; glibc
    # falls back to 2 for older compilers) also checks the calls whose buffer sizes are
    # only known at run time, the only kind some of the programs make; it is asked the
    # way a package maintainer asks, through dpkg-buildflags.
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env
            DEB_BUILD_MAINT_OPTIONS=hardening=+all
            "DEB_CPPFLAGS_MAINT_APPEND=-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3"
            ${QV12_DPKG_BUILDFLAGS} --get ${variable}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${variable} failed: ${status}")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*|ffile-prefix-map=.*)$")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

function(qv12_add_hardening target)
    # The sanitizers' build checks the code and ships nothing; fortified calls would
    # also keep some accesses from AddressSanitizer's eyes.
    if(NOT QV12_HARDENING OR QV12_SANITIZE)
        return()
    endif()
    if(NOT QV12_DPKG_BUILDFLAGS)
        message(STATUS "Hardening: dpkg-buildflags not found (dpkg-dev), building without it")
        return()
    endif()
    qv12_dpkg_buildflags(CPPFLAGS cppflags)
    qv12_dpkg_buildflags(CXXFLAGS cxxflags)
    qv12_dpkg_buildflags(LDFLAGS ldflags)
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    target_compile_options(${target} INTERFACE "$<${optimised}:${cppflags};${cxxflags}>")
    target_link_options(${target} INTERFACE "$<${optimised}:${ldflags}>")
    list(JOIN cppflags " " shown_cppflags)
    list(JOIN cxxflags " " shown_cxxflags)
    list(JOIN ldflags " " shown_ldflags)
    message(STATUS "Hardening (optimised builds): ${shown_cppflags} ${shown_cxxflags} ${shown_ldflags}")
    set(QV12_HARDENED_BUILD "${optimised}" PARENT_SCOPE)
endfunction()
