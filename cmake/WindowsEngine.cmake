# The Windows build's engine library and platform: included by the top-level CMakeLists.txt after
# the engine's targets when building for Windows (cmake/mingw-w64-x86_64.cmake); the program and
# the tests follow in cmake/WindowsProgram.cmake.

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

# The platform is Windows itself: the program's units include windows.h, ddraw.h, dsound.h and
# objbase.h through the platform headers and call them directly. platform/win32 holds only what
# Windows has not under the same name: files opened as the Linux build opens them, the memory
# file, and the form framework on real windows and controls.
add_library(kavrel_kernel STATIC platform/win32/Files.cpp)
target_include_directories(kavrel_kernel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kavrel_kernel PUBLIC project_options)
add_library(kavrel_windows STATIC platform/forms/Forms.cpp platform/win32/Controls.cpp)
target_link_libraries(kavrel_windows PUBLIC kavrel_kernel user32 gdi32 ole32 ddraw dsound dxguid)
