# SPDX-FileCopyrightText: QV12 Configurator contributors
# SPDX-License-Identifier: GPL-3.0-or-later
# The English catalogue of the texts a user sees: lupdate (Debian's qt6-l10n-tools) reads
# the sources and forms of the given targets and writes a .ts in the build tree that a
# translator starts from. It is made at every build, so it never lags behind the code.
find_program(QV12_LUPDATE NAMES lupdate lupdate-qt6
    HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_LIBEXECS}" "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}"
          /usr/lib/qt6/bin /usr/lib/qt6/libexec
    REQUIRED)

# qv12_add_english_catalogue(<target> TS_FILE <path> TARGETS <target>...)
# Adds <target>, built by default, that writes TS_FILE from the C++ sources and .ui forms
# of TARGETS. Another program's texts join by naming its target here.
function(qv12_add_english_catalogue name)
    cmake_parse_arguments(arg "" "TS_FILE" "TARGETS" ${ARGN})
    set(sources)
    foreach(target IN LISTS arg_TARGETS)
        get_target_property(target_sources ${target} SOURCES)
        get_target_property(target_dir ${target} SOURCE_DIR)
        foreach(source IN LISTS target_sources)
            if(source MATCHES "\\$<" OR NOT source MATCHES "\\.(cpp|h|ui)$")
                continue()
            endif()
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${target_dir}" NORMALIZE)
            if(source MATCHES "^${CMAKE_BINARY_DIR}/")
                continue()  # generated: the forms' own texts come from the .ui files
            endif()
            list(APPEND sources "${source}")
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES sources)
    list(SORT sources)
    set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${name}.sources")
    list(JOIN sources "\n" list_text)
    file(WRITE "${list_file}.in" "${list_text}\n")
    configure_file("${list_file}.in" "${list_file}" COPYONLY)
    add_custom_command(OUTPUT "${arg_TS_FILE}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/translations"
        COMMAND ${CMAKE_COMMAND} -E rm -f "${arg_TS_FILE}"
        COMMAND "${QV12_LUPDATE}" -silent -no-obsolete -locations relative
                -source-language en -target-language en "@${list_file}" -ts "${arg_TS_FILE}"
        DEPENDS ${sources} "${list_file}"
        COMMENT "Collecting the user-visible texts into ${arg_TS_FILE}"
        VERBATIM)
    add_custom_target(${name} ALL DEPENDS "${arg_TS_FILE}")
endfunction()
