# The Windows build, for now the engine library and its tests: included by the top-level
# CMakeLists.txt after the engine's targets when building for Windows (cmake/mingw-w64-x86_64.cmake).

# Executables and zol.dll in one folder, so that the tests find the library beside them.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The PE export table comes from the module-definition file in place of the ELF version script:
# the four functions, undecorated, and nothing else.
foreach(library zol zol_portable)
    target_sources(${library} PRIVATE engine/zol.def)
    set_target_properties(${library} PROPERTIES
        PREFIX ""
        LINK_OPTIONS -Wl,--no-undefined
        LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/engine/zol.def
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endforeach()
# The deliverable is the x87 engine; the portable one builds on request only.
set_target_properties(zol_portable PROPERTIES EXCLUDE_FROM_ALL ON)

if(NOT KAVREL_TESTS)
    return()
endif()

# GoogleTest from the sources Debian ships, built by the cross compiler. A small package
# configuration lets the tests' find_package(GTest) take these targets.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
file(WRITE ${CMAKE_BINARY_DIR}/gtest-config/GTestConfig.cmake
    "# GoogleTest built in this tree (cmake/WindowsEngine.cmake).\n")
set(GTest_DIR ${CMAKE_BINARY_DIR}/gtest-config CACHE PATH "" FORCE)

# The tests run under Wine in a prefix of this build folder (scripts/test-windows.sh makes it),
# without a display and without Wine's debug output. Their lists are read when they run, so that
# building needs no Wine.
find_program(WINE_PROGRAM wine)
set(CMAKE_CROSSCOMPILING_EMULATOR env -u DISPLAY -u WAYLAND_DISPLAY
    WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    ${WINE_PROGRAM})
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

enable_testing()
add_subdirectory(tests)
