# cmake -DBUILD_DIR=... -DPREFIX=... -DAPP_ID=... -DPROGRAM_DIR=... -P CheckInstall.cmake
# Installs the build into PREFIX (which ends in "100% $x" to try the launcher's
# quoting) and checks the tree: program and verb list side by side, the
# checker, the icons, the metainfo, and a valid launcher whose Exec names the
# installed program; install_manifest.txt lists every installed file, so that
# removing what it lists leaves nothing behind.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cmake --install failed")
endif()

set(launcher "${PREFIX}/share/applications/${APP_ID}.desktop")
foreach(file "${PROGRAM_DIR}/VerbodromEN" "${PROGRAM_DIR}/IrregularVerbs.txt"
        bin/verbodrom-check "share/applications/${APP_ID}.desktop"
        "share/icons/hicolor/48x48/apps/${APP_ID}.png"
        "share/icons/hicolor/128x128/apps/${APP_ID}.png"
        "share/icons/hicolor/scalable/apps/${APP_ID}.svg"
        "share/metainfo/${APP_ID}.metainfo.xml")
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

# In the Exec value % is doubled, and $ takes a backslash inside the quotes,
# which the string escaping doubles.
file(STRINGS "${launcher}" exec REGEX "^Exec=")
string(REPLACE "100% $x" "100%% \\\\$x" quotedPrefix "${PREFIX}")
set(expected "Exec=\"${quotedPrefix}/${PROGRAM_DIR}/VerbodromEN\"")
if(NOT exec STREQUAL expected)
    message(FATAL_ERROR "launcher has\n  ${exec}\nexpected\n  ${expected}")
endif()
execute_process(COMMAND desktop-file-validate "${launcher}" RESULT_VARIABLE invalid)
if(invalid)
    message(FATAL_ERROR "installed launcher is not valid")
endif()
file(STRINGS "${BUILD_DIR}/install_manifest.txt" listed)
file(GLOB_RECURSE installed LIST_DIRECTORIES false "${PREFIX}/*")
list(SORT listed)
list(SORT installed)
if(NOT listed STREQUAL installed)
    message(FATAL_ERROR "install_manifest.txt lists\n  ${listed}\nbut installed are\n  ${installed}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
