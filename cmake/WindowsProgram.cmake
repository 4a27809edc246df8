# The Windows program and the Windows build's tests: included by the top-level CMakeLists.txt
# after the program's libraries when building for Windows (cmake/WindowsEngine.cmake before).

# kavrel.exe: a desktop program (no console) that loads zol.dll from its own folder.
add_executable(kavrel WIN32 app/Main.cpp)
target_link_libraries(kavrel PRIVATE kavrel_app kavrel_version)
include(cmake/WindowsResources.cmake)

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
    "# GoogleTest built in this tree (cmake/WindowsProgram.cmake).\n")
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
