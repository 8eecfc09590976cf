# SPDX-License-Identifier: MIT
# Every target can get a twin built with AddressSanitizer and UndefinedBehaviorSanitizer, so that one
# CTest run covers both builds and ends with one summary. Twins carry the suffix "_san" and link the
# twins of the project's own libraries.

set(RINGLO_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
                           -fno-sanitize-recover=all)

# The suffixes to build: "" always, "_san" for the twin.
set(RINGLO_TWIN_SUFFIX "")
if(RINGLO_SANITIZED_TWIN)
    set(RINGLO_TWIN_SUFFIX "_san")
endif()

# The project's own libraries are named ringlo_*; their twins take the same suffix.
function(_ringlo_links out suffix)
    set(links "")
    foreach(lib IN LISTS ARGN)
        if(lib MATCHES "^ringlo_")
            list(APPEND links "${lib}${suffix}")
        else()
            list(APPEND links "${lib}")
        endif()
    endforeach()
    set(${out} "${links}" PARENT_SCOPE)
endfunction()

function(_ringlo_sanitize target suffix)
    if(suffix STREQUAL "_san")
        # Fortified calls go to glibc's checking variants, which AddressSanitizer does not intercept.
        # Spelled apart so that CMake does not drop it as a repeat of the project-wide -U.
        target_compile_options(${target} PRIVATE ${RINGLO_SANITIZER_FLAGS}
                                                 "SHELL:-U _FORTIFY_SOURCE")
        target_link_options(${target} PRIVATE ${RINGLO_SANITIZER_FLAGS})
    endif()
endfunction()

# ringlo_add_library(name SOURCES ... [PUBLIC_LINKS ...] [PRIVATE_LINKS ...])
function(ringlo_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LINKS;PRIVATE_LINKS" ${ARGN})
    foreach(suffix IN ITEMS "" ${RINGLO_TWIN_SUFFIX})
        set(target ${name}${suffix})
        add_library(${target} STATIC ${ARG_SOURCES})
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
        _ringlo_links(public "${suffix}" ${ARG_PUBLIC_LINKS})
        _ringlo_links(private "${suffix}" ${ARG_PRIVATE_LINKS})
        target_link_libraries(${target} PUBLIC ${public} PRIVATE ${private})
        _ringlo_sanitize(${target} "${suffix}")
    endforeach()
endfunction()

# ringlo_add_executable(name SOURCES ... LINKS ...)
function(ringlo_add_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    foreach(suffix IN ITEMS "" ${RINGLO_TWIN_SUFFIX})
        set(target ${name}${suffix})
        qt_add_executable(${target} ${ARG_SOURCES})
        _ringlo_links(links "${suffix}" ${ARG_LINKS})
        target_link_libraries(${target} PRIVATE ${links})
        _ringlo_sanitize(${target} "${suffix}")
    endforeach()
endfunction()

# kind: "offscreen"; "desktop", the X server and window manager that scripts/test starts, which
# the tests take in turns; or "own-desktop", a private one that the test's command starts.
function(_ringlo_test_properties test suffix kind)
    set(env ${ARGN})
    if(kind STREQUAL "offscreen")
        list(APPEND env QT_QPA_PLATFORM=offscreen)
        set_tests_properties(${test} PROPERTIES LABELS offscreen)
    else()
        list(APPEND env QT_QPA_PLATFORM=xcb)
        set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77 LABELS desktop)
        if(kind STREQUAL "desktop")
            set_tests_properties(${test} PROPERTIES RESOURCE_LOCK desktop)
        endif()
    endif()
    if(suffix STREQUAL "_san")
        # Leaks inside the system's D-Bus, font and X libraries are not ours to mend.
        list(APPEND env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
             "UBSAN_OPTIONS=print_stacktrace=1")
        set_property(TEST ${test} APPEND PROPERTY LABELS sanitized)
    endif()
    set_tests_properties(${test} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 120)
endfunction()

# ringlo_add_test(name SOURCES ... LINKS ... [DESKTOP [WINDOW_MANAGERS wm...]] [ENVIRONMENT ...])
# Offscreen tests run on Qt's offscreen platform; DESKTOP tests need the X server and window
# manager that scripts/test starts, take turns on it, and skip where there is no display. Tests
# whose outcome depends on the window manager's own rules name the other managers (metacity,
# xfwm4) to run under as well: the plain build runs once more under each, as <name>_<wm>, on a
# private X server that tests/support/with-desktop starts.
function(ringlo_add_test name)
    cmake_parse_arguments(ARG "DESKTOP" "" "SOURCES;LINKS;ENVIRONMENT;WINDOW_MANAGERS" ${ARGN})
    if(ARG_WINDOW_MANAGERS AND NOT ARG_DESKTOP)
        message(FATAL_ERROR "${name}: WINDOW_MANAGERS needs DESKTOP")
    endif()
    ringlo_add_executable(${name} SOURCES ${ARG_SOURCES} LINKS ${ARG_LINKS} Qt6::Test)
    set(kind offscreen)
    if(ARG_DESKTOP)
        set(kind desktop)
    endif()
    foreach(suffix IN ITEMS "" ${RINGLO_TWIN_SUFFIX})
        set(target ${name}${suffix})
        add_test(NAME ${target} COMMAND ${target})
        _ringlo_test_properties(${target} "${suffix}" ${kind} ${ARG_ENVIRONMENT})
    endforeach()
    foreach(wm IN LISTS ARG_WINDOW_MANAGERS)
        add_test(NAME ${name}_${wm} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/with-desktop ${wm}
                                            $<TARGET_FILE:${name}>)
        _ringlo_test_properties(${name}_${wm} "" own-desktop ${ARG_ENVIRONMENT})
        set_property(TEST ${name}_${wm} APPEND PROPERTY LABELS ${wm})
    endforeach()
endfunction()

# ringlo_add_program_test(name SCRIPT script [ARGS ...]): a script that drives the real program on
# the test desktop; it gets the program's path, then ARGS.
function(ringlo_add_program_test name)
    cmake_parse_arguments(ARG "" "SCRIPT" "ARGS" ${ARGN})
    foreach(suffix IN ITEMS "" ${RINGLO_TWIN_SUFFIX})
        add_test(NAME ${name}${suffix} COMMAND ${ARG_SCRIPT} $<TARGET_FILE:ringlo${suffix}>
                                               ${ARG_ARGS})
        _ringlo_test_properties(${name}${suffix} "${suffix}" desktop)
    endforeach()
endfunction()
