# Install-time script: copies into the installation the libraries that the launcher, the service,
# the stand-in game and the bundled Qt plug-ins need and that a desktop cannot be expected to
# have, so the installation runs without a system Qt. Set by the caller (cmake/Install.cmake):
#   QUILT_BUNDLE_EXECUTABLES  the programs as built (not the installed copies, whose run paths
#                             already point into the installation)
#   QUILT_BUNDLE_PLUGIN_DIR   Qt's plug-in directory
#   QUILT_BUNDLE_PLUGINS      plug-ins to carry, relative to it ("platforms/libqxcb.so", ...)
#   QUILT_PATCHELF            the patchelf program
# Libraries land in <root>/lib, plug-ins in <root>/plugins/<kind>; each gets a run path that
# finds its neighbours in lib.

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# What every Linux desktop provides, and what must come from the system even where a copy would
# load: glibc and the GCC runtime; the X11, xcb and Wayland client libraries and xkbcommon, which
# speak to the display server and read its keymaps; the GL family, which loads the graphics
# driver; fontconfig and freetype, which read the system's fonts; D-Bus and GLib; the ALSA and
# PulseAudio clients; and zlib and expat under them.
set(base_libraries
    "^ld-linux" "^lib(c|m|dl|rt|pthread|resolv|util|mvec|anl)\\.so"
    "^libstdc\\+\\+\\.so" "^libgcc_s\\.so"
    "^libX[A-Za-z0-9-]*\\.so" "^libxcb" "^libxkbcommon" "^lib(SM|ICE)\\.so"
    "^libwayland-(client|cursor|egl)\\.so"
    "^lib(GL|GLX|EGL|OpenGL|GLdispatch|GLESv2|gbm|drm)\\.so"
    "^libfontconfig\\.so" "^libfreetype\\.so" "^libdbus-1\\.so"
    "^lib(glib|gobject|gio|gmodule|gthread)-2\\.0\\.so"
    "^libasound\\.so" "^libpulse"
    "^libz\\.so" "^libexpat\\.so")

set(plugins "")
foreach(plugin IN LISTS QUILT_BUNDLE_PLUGINS)
    set(path "${QUILT_BUNDLE_PLUGIN_DIR}/${plugin}")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "Qt plug-in ${path} is missing (see scripts/packages.sh)")
    endif()
    list(APPEND plugins "${path}")
endforeach()

file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES ${QUILT_BUNDLE_EXECUTABLES}
    MODULES ${plugins}
    RESOLVED_DEPENDENCIES_VAR resolved
    UNRESOLVED_DEPENDENCIES_VAR unresolved
    CONFLICTING_DEPENDENCIES_PREFIX conflicting
    PRE_EXCLUDE_REGEXES ${base_libraries})
if(unresolved)
    message(FATAL_ERROR "Libraries not found for the installation: ${unresolved}")
endif()

# Copies a file under its given name (libraries are found by their soname, which is the name the
# dependency was resolved by) and points its run path at the bundled libraries. The copy is
# made beside the target and renamed over it only when it differs, so a launcher still running
# from an earlier installation keeps its libraries intact.
function(quilt_bundle source destination runpath)
    get_filename_component(name "${source}" NAME)
    set(target "${destination}/${name}")
    file(REAL_PATH "${source}" real)
    file(MAKE_DIRECTORY "${destination}")
    file(COPY_FILE "${real}" "${target}.new")
    execute_process(COMMAND "${QUILT_PATCHELF}" --set-rpath "${runpath}" "${target}.new"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "patchelf failed on ${target}.new")
    endif()
    if(EXISTS "${target}")
        file(SHA256 "${target}" old)
        file(SHA256 "${target}.new" new)
        if(old STREQUAL new)
            file(REMOVE "${target}.new")
            message(STATUS "Up-to-date: ${target}")
            return()
        endif()
    endif()
    file(RENAME "${target}.new" "${target}")
    message(STATUS "Bundled: ${target}")
endfunction()

foreach(library IN LISTS resolved)
    quilt_bundle("${library}" "${root}/lib" "$ORIGIN")
endforeach()
foreach(plugin IN LISTS QUILT_BUNDLE_PLUGINS)
    get_filename_component(kind "${plugin}" DIRECTORY)
    quilt_bundle("${QUILT_BUNDLE_PLUGIN_DIR}/${plugin}" "${root}/plugins/${kind}" "$ORIGIN/../../lib")
endforeach()

# Qt reads qt.conf beside each program: plug-ins and translations come from the installation.
foreach(dir prefix IN ZIP_LISTS QUILT_BUNDLE_PROGRAM_DIRS QUILT_BUNDLE_PREFIXES)
    file(WRITE "${root}/${dir}/qt.conf"
        "[Paths]\nPrefix = ${prefix}\nPlugins = plugins\nTranslations = bin/translations\n")
endforeach()
