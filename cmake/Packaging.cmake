# Install rules and the Debian package.
#
# Layout under the prefix (GNUInstallDirs):
#   bin/brindlewood-feed-editor, bin/brindlewood-feed
#   share/brindlewood-feed-editor/Samples/Podcast.xml   (the editor's application folder)
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1
#
# The editor looks for its application folder relative to its own executable
# first, so the same rules serve `cmake --install --prefix <anywhere>` and the
# .deb, which installs under /usr.

set(BRINDLEWOOD_APP_ID "org.example.brindlewood.FeedEditor")
set(BRINDLEWOOD_DATA_SUBDIR "${CMAKE_INSTALL_DATADIR}/brindlewood-feed-editor")
set(BRINDLEWOOD_ICON_SIZES 16 32 48 64 128 256)

# Each executable lands with the work that adds it; until then its rule is skipped
# so the rest still installs.
foreach(executable IN ITEMS brindlewood-feed-editor brindlewood-feed)
    if(TARGET ${executable})
        install(TARGETS ${executable} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# OPTIONAL is checked when installing, not when configuring, so a build tree
# configured before these files arrived still installs them. The install test
# fails while any of them is missing.
install(FILES "${PROJECT_SOURCE_DIR}/Samples/Podcast.xml"
    DESTINATION "${BRINDLEWOOD_DATA_SUBDIR}/Samples" OPTIONAL)

install(FILES "${PROJECT_SOURCE_DIR}/data/brindlewood-feed-editor.desktop"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${PROJECT_SOURCE_DIR}/data/${BRINDLEWOOD_APP_ID}.metainfo.xml"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The PNGs are rendered from the SVG once and committed (scripts/render-icons),
# so building needs no SVG renderer.
install(FILES "${PROJECT_SOURCE_DIR}/data/icons/brindlewood-feed-editor.svg"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps OPTIONAL)
foreach(size IN LISTS BRINDLEWOOD_ICON_SIZES)
    install(FILES "${PROJECT_SOURCE_DIR}/data/icons/${size}x${size}/brindlewood-feed-editor.png"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps OPTIONAL)
endforeach()

# Manual pages are installed gzipped, as Debian wants them; -n keeps the
# archive free of a time stamp so rebuilds give the same bytes.
set(BRINDLEWOOD_MAN_SOURCE "${PROJECT_SOURCE_DIR}/docs/brindlewood-feed.1")
find_program(BRINDLEWOOD_GZIP gzip)
if(BRINDLEWOOD_GZIP)
    set(BRINDLEWOOD_MAN_GZ "${PROJECT_BINARY_DIR}/man/brindlewood-feed.1.gz")
    add_custom_command(OUTPUT "${BRINDLEWOOD_MAN_GZ}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/man"
        COMMAND ${BRINDLEWOOD_GZIP} -9 -n -c "${BRINDLEWOOD_MAN_SOURCE}" > "${BRINDLEWOOD_MAN_GZ}"
        DEPENDS "${BRINDLEWOOD_MAN_SOURCE}"
        COMMENT "Compressing the brindlewood-feed manual page"
        VERBATIM)
    add_custom_target(brindlewood-feed-manpage ALL DEPENDS "${BRINDLEWOOD_MAN_GZ}")
    install(FILES "${BRINDLEWOOD_MAN_GZ}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    install(FILES "${BRINDLEWOOD_MAN_SOURCE}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# --- Debian package -----------------------------------------------------------
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "brindlewood-feed-editor")
set(CPACK_PACKAGE_VENDOR "Brindlewood")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A desktop editor for the channel data and the episode list of a podcast feed,\n"
    "saved as RSS 2.0 with itunes: elements in a fixed layout that is checked for\n"
    "well-formed XML before it replaces anything. Includes brindlewood-feed, a\n"
    "command that loads and re-saves feed files without a window.")
set(CPACK_PACKAGE_CONTACT "Brindlewood <${BRINDLEWOOD_SUPPORT_EMAIL}>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# dpkg-shlibdeps names the libraries under the build machine's own package names
# (they differ between Debian 12 and newer Ubuntu). Without dpkg-dev fall back to
# the Debian 12 names.
find_program(BRINDLEWOOD_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(BRINDLEWOOD_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(BRINDLEWOOD_DEB_LIBRARIES "")
else()
    set(BRINDLEWOOD_DEB_LIBRARIES
        "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6concurrent6 (>= 6.4), libqt6keychain1, libtag1v5, libssh-4, libcurl4, libc6, libstdc++6, libgcc-s1, ")
endif()
# Qt loads its window-system plugin at run time, which dpkg-shlibdeps cannot see.
# The windows are laid out for Arial's metrics, which Liberation Sans shares;
# other fonts fit too but look cramped.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${BRINDLEWOOD_DEB_LIBRARIES}qt6-qpa-plugins, fonts-liberation")
# The icon cache and the desktop database are refreshed by dpkg triggers of
# hicolor-icon-theme and desktop-file-utils; no maintainer scripts are needed.

include(CPack)
