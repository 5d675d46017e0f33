# Install layout (GNUInstallDirs), which the Debian package (debian/) takes as it is. The executables'
# own install rules sit beside their add_executable; everything else a desktop needs is installed from
# here.

set(NRBX_APP_ID org.example.nrbx)
set(NRBX_DIST ${PROJECT_SOURCE_DIR}/dist)

install(FILES ${PROJECT_SOURCE_DIR}/docs/help/nrbx.hlp DESTINATION ${CMAKE_INSTALL_DATADIR}/nrbx)
install(FILES ${NRBX_DIST}/${NRBX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${NRBX_DIST}/${NRBX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${NRBX_DIST}/${NRBX_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${NRBX_DIST}/nrbx.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(DIRECTORY ${NRBX_DIST}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${NRBX_DIST}/bash-completion/nrbx-export ${NRBX_DIST}/bash-completion/nrbx-import
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The README and the demo files; the Debian package adds debian/copyright and debian/changelog (the
# project's one changelog) beside them.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
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

# The install checked end to end: into a DESTDIR, then the installed programs run from there.
if(NRBX_GUI AND BUILD_TESTING)
  add_test(NAME install.destdir
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/check_install.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_INSTALL_PREFIX} ${PROJECT_SOURCE_DIR})
  set_tests_properties(install.destdir PROPERTIES TIMEOUT 120)
endif()
