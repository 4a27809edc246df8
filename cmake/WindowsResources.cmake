# Version resources of kavrel.exe and zol.dll, and kavrel.exe's icon and manifest: included by
# cmake/WindowsProgram.cmake. The icon is drawn from packaging/kavrel.svg at the sizes Windows
# shows (rsvg-convert and icotool, from Debian's librsvg2-bin and icoutils).
enable_language(RC)

function(add_version_resource target file type description)
    set(RC_FILE ${file})
    set(RC_NAME ${target})
    set(RC_TYPE ${type})
    set(RC_DESCRIPTION ${description})
    configure_file(packaging/windows/version.rc.in ${target}-version.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
endfunction()
add_version_resource(kavrel kavrel.exe VFT_APP "kavrel real-time spectrogram viewer")
add_version_resource(zol zol.dll VFT_DLL "zol spectrum estimation engine")

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
# The largest size stays PNG inside the icon, as Windows' own icons keep it.
set(icon_commands)
set(icon_pngs)
foreach(size 16 24 32 48 64 256)
    list(APPEND icon_commands COMMAND ${RSVG_CONVERT} -w ${size} -h ${size}
        ${CMAKE_CURRENT_SOURCE_DIR}/packaging/kavrel.svg -o kavrel-${size}.png)
    list(APPEND icon_pngs kavrel-${size}.png)
endforeach()
list(TRANSFORM icon_pngs PREPEND --raw= REGEX 256)
add_custom_command(OUTPUT kavrel.ico ${icon_commands}
    COMMAND ${ICOTOOL} -c -o kavrel.ico ${icon_pngs}
    DEPENDS packaging/kavrel.svg VERBATIM)

set(RC_ICON ${CMAKE_CURRENT_BINARY_DIR}/kavrel.ico)
set(RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/kavrel.manifest)
configure_file(packaging/windows/kavrel.manifest.in kavrel.manifest @ONLY)
configure_file(packaging/windows/kavrel.rc.in kavrel.rc @ONLY)
target_sources(kavrel PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/kavrel.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/kavrel.rc PROPERTIES
    OBJECT_DEPENDS "${RC_ICON};${RC_MANIFEST}")
