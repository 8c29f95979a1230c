# kalvendo_library(NAME SOURCES ... [LINK ...])
# A static library of one subsystem; Qt Core only unless LINK says otherwise.
function(kalvendo_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINK} PRIVATE kalvendo_warnings)
endfunction()

# kalvendo_test(NAME SOURCES ... [LINK ...] [ENV ...] [WRAPPER command ...])
# One QtTest binary, run offscreen by CTest with a pinned locale; WRAPPER runs
# it through another program (such as dbus-run-session --).
# It includes the shared fixtures as "testsupport/X.h".
function(kalvendo_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINK;ENV;WRAPPER" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LINK} kalvendo_testsupport
        kalvendo_warnings)
    add_test(NAME ${name} COMMAND ${ARG_WRAPPER} $<TARGET_FILE:${name}>)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=de_DE.UTF-8;LC_ALL=de_DE.UTF-8;TZ=Europe/Berlin;${ARG_ENV}")
endfunction()
