# Install layout (GNUInstallDirs) and the Debian package. The executables' own install rules sit beside
# their add_executable; everything else a desktop needs is installed from here.

set(NRBX_APP_ID org.example.nrbx)
set(NRBX_DIST ${PROJECT_SOURCE_DIR}/dist)

install(FILES ${PROJECT_SOURCE_DIR}/docs/help/nrbx.hlp DESTINATION ${CMAKE_INSTALL_DATADIR}/nrbx)
install(FILES ${NRBX_DIST}/${NRBX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${NRBX_DIST}/${NRBX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${NRBX_DIST}/${NRBX_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${NRBX_DIST}/nrbx.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${NRBX_DIST}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME nrbx)
install(DIRECTORY ${NRBX_DIST}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${NRBX_DIST}/bash-completion/nrbx-export ${NRBX_DIST}/bash-completion/nrbx-import
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${NRBX_DIST}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The release notes (dist/changelog, in Debian's format; the metainfo's releases say the same), as
# Debian installs a native package's: changelog.gz, compressed without a time stamp.
set(NRBX_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${NRBX_CHANGELOG_GZ}
                   COMMAND gzip -9n -c ${NRBX_DIST}/changelog > ${NRBX_CHANGELOG_GZ}
                   DEPENDS ${NRBX_DIST}/changelog
                   COMMENT "Compressing the changelog")
add_custom_target(nrbx_changelog ALL DEPENDS ${NRBX_CHANGELOG_GZ})
install(FILES ${NRBX_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/samples/demo.pcg ${PROJECT_SOURCE_DIR}/samples/demo.pal
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/samples)

# Manual pages, compressed as Debian installs them (gzip -n: the same bytes at every build). Each page
# of docs/man/ is installed; a new tool adds its page there.
file(GLOB NRBX_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1)
set(NRBX_MAN_OUTPUTS)
foreach(page ${NRBX_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  set(out ${CMAKE_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND gzip -9n -c ${page} > ${out}
                     DEPENDS ${page}
                     COMMENT "Compressing the manual page ${name}")
  list(APPEND NRBX_MAN_OUTPUTS ${out})
endforeach()
add_custom_target(nrbx_man ALL DEPENDS ${NRBX_MAN_OUTPUTS})
install(FILES ${NRBX_MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# cpack -G DEB: nrbx_<version>_<arch>.deb. The package keeps the build's prefix, so the help path
# compiled into the program matches the package (configure with -DCMAKE_INSTALL_PREFIX=/usr).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nrbx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the nrbx developers")
set(CPACK_PACKAGE_CONTACT "the nrbx developers <nrbx@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip_notes.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://nrbx.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries shlibdeps finds: a Japanese font for the window, Qt's own Japanese texts, and
# Qt's Wayland platform, which GNOME's default session asks for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n, qt6-wayland")
# Lines as written, a blank line between paragraphs: CPack indents them by one space and writes the
# blank line as " ." (a line that already starts with a space would be shown verbatim).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "viewer and converter for sprite-pattern files
nrbx shows a sprite-pattern file of 256 sprites (16x16 pixels, 16 colours
each) as one picture, coloured through a palette file of 16 palette blocks.
Cells can be selected, re-coloured with another palette block and copied
elsewhere; the whole picture or the selection is saved as a 24-bit,
256-colour or 16-colour BMP file. The window is in Japanese.

The command-line tools nrbx-export and nrbx-import convert between pattern
files and BMP or PNG pictures without a display, and file managers show a
pattern file's sprites as its thumbnail.")
include(CPack)

# The install checked end to end: into a DESTDIR, then the installed programs run from there.
if(NRBX_GUI AND BUILD_TESTING)
  add_test(NAME install.destdir
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/check_install.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_INSTALL_PREFIX} ${PROJECT_SOURCE_DIR}/samples)
  set_tests_properties(install.destdir PROPERTIES TIMEOUT 120)
endif()
