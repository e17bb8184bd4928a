# The portable installation: everything under one root, found by the launcher through the
# marker file beside bin/.
#
#   <root>/tobble-portable.txt        marker: this directory is the installation root
#   <root>/bin/tobble-quilt           the launcher
#   <root>/tobble-launcher            the launcher service
#   <root>/game/tobble-game           the stand-in for the native game
#   <root>/docs/building.md           the build guide that the diagnostics page opens
#   <root>/build-logs/                the game's log, opened by "Open Logs"
#   <root>/share/applications/...     desktop entry and icon

install(TARGETS tobble-quilt RUNTIME DESTINATION bin)
if(TARGET tobble-launcher)
    install(TARGETS tobble-launcher RUNTIME DESTINATION .)
    install(TARGETS tobble-game RUNTIME DESTINATION game)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tobble-portable.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/docs/building.md DESTINATION docs)
install(DIRECTORY DESTINATION build-logs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tobble-quilt.desktop
        DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/mascot.png
        DESTINATION share/icons/hicolor/512x512/apps
        RENAME tobble-quilt.png)

# A relocatable archive of the same layout: cpack -G TGZ (or "cpack" in the build directory).
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME tobble-quilt)
set(CPACK_PACKAGE_VENDOR "Tobble's Grand Quilt developers")
set(CPACK_PACKAGE_FILE_NAME "tobble-quilt-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
include(CPack)
