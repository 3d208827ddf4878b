# The Debian package of the Linux saver: `cpack -G DEB` in the native build (scripts/package
# runs it). Beside the saver, its settings description and the settings window
# pendral-settings, which their own install rules place, it holds the window's menu entry
# and icon, and what Debian asks of every package: manual pages, the copyright file and a
# changelog, gzipped as Debian policy wants (but the copyright), and how to turn it on
# (README.Debian).
set(PENDRAL_MAINTAINER "Pendral maintainers <maintainers@users.noreply.c-seed-63b88f99.example>")
set(PENDRAL_DOC_DIR share/doc/pendral)
set(packaging ${CMAKE_BINARY_DIR}/packaging)

# @VERSION@ and @MAINTAINER@ filled in, then compressed the way Debian's tools do it:
# best compression and no name or time stamp, so that the same input gives the same bytes.
set(PENDRAL_PACKAGE_FILES)
foreach(file pendral.6 pendral-settings.1 changelog)
  set(VERSION ${PROJECT_VERSION})
  set(MAINTAINER ${PENDRAL_MAINTAINER})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/linux/${file} ${packaging}/${file} @ONLY)
  add_custom_command(OUTPUT ${packaging}/${file}.gz
    COMMAND gzip -9 -n -f -k ${packaging}/${file}
    DEPENDS ${packaging}/${file}
    VERBATIM)
  list(APPEND PENDRAL_PACKAGE_FILES ${packaging}/${file}.gz)
endforeach()
add_custom_target(pendral_package_files ALL DEPENDS ${PENDRAL_PACKAGE_FILES})

install(FILES ${packaging}/pendral.6.gz DESTINATION share/man/man6)
install(FILES ${packaging}/pendral-settings.1.gz DESTINATION share/man/man1)
install(FILES ${packaging}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/linux/copyright
  ${CMAKE_SOURCE_DIR}/packaging/linux/README.Debian DESTINATION ${PENDRAL_DOC_DIR})
# The idle watcher of Wayland desktops as a user service (`systemctl --user enable --now
# pendral-idle`), where systemd looks for the units that packages give every user.
# sway starts the graphical session through pendral-sway-session.target.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/pendral-idle.service
  ${CMAKE_SOURCE_DIR}/packaging/linux/pendral-sway-session.target DESTINATION lib/systemd/user)
# The entry that screen-saver front ends other than XScreenSaver's read. It names the
# saver where the package puts it; installed elsewhere, its TryExec hides it.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/pendral.desktop DESTINATION share/applications/screensavers)
# The settings window in every desktop's menu, as "Pendral", with the icon that the
# painter made for each size of the hicolor theme (res/icons, and the page's large ones).
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/pendral-settings.desktop DESTINATION share/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/res/icons/pendral-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME pendral.png)
endforeach()
foreach(size 192 512)
  install(FILES ${CMAKE_SOURCE_DIR}/res/web/icon-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME pendral.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pendral)
set(CPACK_PACKAGE_VENDOR "The Pendral developers")
set(CPACK_PACKAGE_CONTACT ${PENDRAL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver of bodies that pull on each other")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "On a black screen between 3 and 100 round bodies pull on each other by an
inverse-square law (or push each other away), swing past each other, and are
scattered afresh every few minutes. A heavy red body and a blue body can be
switched on.

Pendral in the desktop's menu opens its settings window: the bodies, with
a preview, and on Wayland desktops (KDE Plasma, GNOME) a switch that shows
the saver after some minutes of idleness (the user service pendral-idle).
On X11 the saver is run by XScreenSaver and set up in its settings program.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries its programs link decide the dependencies (dpkg-shlibdeps): among them
# libsystemd0, whose sd-bus asks GNOME's idle monitor and the user's service manager,
# and GTK 4 (libgtk-4-1) for the settings window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# XScreenSaver runs the saver on X11 only; Wayland desktops need none of it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# Hardening that Debian's own builds apply: checked buffer functions (which need an
# optimised build), and relocations resolved and made read-only at start.
foreach(program pendral pendral-settings)
  if(TARGET ${program})
    target_compile_definitions(${program} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:_FORTIFY_SOURCE=2>)
    target_link_options(${program} PRIVATE LINKER:-z,relro LINKER:-z,now)
  endif()
endforeach()

# The README installs after building only the `pendral` target: the manual page is
# built with it, so that `cmake --install` finds it.
add_dependencies(pendral pendral_package_files)
