# The portable installation: everything under one root, found by the launcher through the
# marker file beside bin/.
#
#   <root>/tobble-portable.txt        marker: this directory is the installation root
#   <root>/bin/tobble-quilt           the launcher
#   <root>/tobble-launcher            the launcher service
#   <root>/game/tobble-game           the stand-in for the native game
#   <root>/docs/building.md           the build guide that the diagnostics page opens
#   <root>/build-logs/                the game's log, opened by "Open Logs"
#   <root>/bin/translations/          Qt's own Chinese and Spanish texts for standard dialogs
#   <root>/install-desktop-entry.sh   adds the launcher to the user's application menu
#   <root>/share/applications/...     desktop entry, icons and AppStream metadata
# With QUILT_BUNDLE_RUNTIME (the default) the installation also carries Qt and every other
# library a desktop cannot be expected to have:
#   <root>/lib/                       the libraries
#   <root>/plugins/                   Qt's plug-ins: platforms, image formats, input methods...
#   <root>/{bin,game,.}/qt.conf       point Qt at those plug-ins and translations

option(QUILT_BUNDLE_RUNTIME
    "Copy Qt, its plug-ins and the other non-base libraries into the installation" ON)

# The programs find bundled libraries beside the installation; without a bundle the run path
# leads nowhere and the system's libraries are used as before.
set(quilt_programs tobble-quilt tobble-launcher tobble-game)
set_target_properties(tobble-quilt PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
set_target_properties(tobble-launcher PROPERTIES INSTALL_RPATH "$ORIGIN/lib")
set_target_properties(tobble-game PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
install(TARGETS tobble-quilt RUNTIME DESTINATION bin)
install(TARGETS tobble-launcher RUNTIME DESTINATION .)
install(TARGETS tobble-game RUNTIME DESTINATION game)

# Qt's translations of its standard dialogs, found by the launcher in bin/translations.
foreach(code zh_CN es)
    set(qm "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}/qtbase_${code}.qm")
    if(EXISTS "${qm}")
        install(FILES "${qm}" DESTINATION bin/translations)
    else()
        message(WARNING "${qm} is missing: standard dialogs stay in English (qt6-translations-l10n)")
    endif()
endforeach()

if(QUILT_BUNDLE_RUNTIME)
    find_program(QUILT_PATCHELF patchelf REQUIRED)
    set(quilt_plugins
        platforms/libqxcb.so
        platforms/libqwayland-generic.so
        platforms/libqwayland-egl.so
        platforms/libqoffscreen.so
        xcbglintegrations/libqxcb-glx-integration.so
        xcbglintegrations/libqxcb-egl-integration.so
        wayland-shell-integration/libxdg-shell.so
        wayland-decoration-client/libbradient.so
        wayland-graphics-integration-client/libqt-plugin-wayland-egl.so
        imageformats/libqico.so
        platforminputcontexts/libcomposeplatforminputcontextplugin.so
        platforminputcontexts/libibusplatforminputcontextplugin.so)
    set(quilt_program_files "")
    foreach(program IN LISTS quilt_programs)
        list(APPEND quilt_program_files "$<TARGET_FILE:${program}>")
    endforeach()
    set(quilt_program_dirs bin . game)
    set(quilt_prefixes .. . ..)
    install(CODE "
        set(QUILT_BUNDLE_EXECUTABLES \"${quilt_program_files}\")
        set(QUILT_BUNDLE_PLUGIN_DIR \"${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}\")
        set(QUILT_BUNDLE_PLUGINS \"${quilt_plugins}\")
        set(QUILT_BUNDLE_PROGRAM_DIRS \"${quilt_program_dirs}\")
        set(QUILT_BUNDLE_PREFIXES \"${quilt_prefixes}\")
        set(QUILT_PATCHELF \"${QUILT_PATCHELF}\")")
    install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/BundleRuntime.cmake)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tobble-portable.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/docs/building.md DESTINATION docs)
install(DIRECTORY DESTINATION build-logs)

# Desktop integration: the entry, the icon at the freedesktop sizes, the AppStream metadata, and
# the script that installs the entry and icons for the current user from the unpacked folder.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tobble-quilt.desktop
        DESTINATION share/applications)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/hicolor DESTINATION share/icons)
# The home page where the previews in docs/previews are published (AppStream screenshots), and
# the date of this version's release.
set(QUILT_HOMEPAGE "https://tobble.example/" CACHE STRING "Public home page of the launcher")
set(QUILT_RELEASE_DATE 2026-12-08)
configure_file(${PROJECT_SOURCE_DIR}/packaging/tobble-quilt.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/tobble-quilt.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tobble-quilt.metainfo.xml DESTINATION share/metainfo)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/install-desktop-entry.sh DESTINATION .)

# A relocatable archive of the same layout: cpack -G TGZ (or "cpack" in the build directory).
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME tobble-quilt)
set(CPACK_PACKAGE_VENDOR "Tobble's Grand Quilt developers")
set(CPACK_PACKAGE_FILE_NAME "tobble-quilt-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The programs are built with debug information; the archive carries them without it.
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
include(CPack)
