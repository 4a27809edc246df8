# What `cmake --install` puts where (the Debian package is this tree under /usr): the two
# programs, the engine with its header and the files other programs build against it with
# (pkg-config and a CMake package giving zol::zol), the manual pages, the desktop menu's entry and
# icon, and the README. Included by CMakeLists.txt after the programs' targets (Linux only; the
# Windows files go into a zip, scripts/package-windows.sh).
include(CMakePackageConfigHelpers)

# The programs load libzol.so.1 from beside themselves in the build folder. Installed, they find
# it in the library folder relative to their own, except where the dynamic linker searches that
# folder anyway (/usr: a package's programs carry no run path).
file(RELATIVE_PATH bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(kavrel kavrel-render PROPERTIES BUILD_RPATH_USE_ORIGIN ON)
if(NOT CMAKE_INSTALL_FULL_LIBDIR IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
    set_target_properties(kavrel kavrel-render PROPERTIES INSTALL_RPATH "$ORIGIN/${bin_to_lib}")
endif()

install(TARGETS kavrel kavrel-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zol EXPORT zol LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/zol.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# pkg-config's file names its folders relative to its own, so that a tree installed under any
# prefix can be built against; under /usr (the package) plainly, so that pkg-config leaves out
# the system's folders.
set(zol_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zol)
file(RELATIVE_PATH pc_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_prefix "\${pcfiledir}/${pc_prefix}")
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(pc_prefix /usr)
endif()
configure_file(packaging/zol.pc.in zol.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zol.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(EXPORT zol NAMESPACE zol:: FILE zolTargets.cmake DESTINATION ${zol_cmake_dir})
configure_package_config_file(packaging/zolConfig.cmake.in zolConfig.cmake
    INSTALL_DESTINATION ${zol_cmake_dir})
write_basic_package_version_file(zolConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zolConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/zolConfigVersion.cmake DESTINATION ${zol_cmake_dir})

foreach(page kavrel.1 kavrel-render.1)
    configure_file(packaging/${page}.in man/${page} @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES packaging/kavrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/kavrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
