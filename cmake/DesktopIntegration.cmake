# The menu entry, the icons and the AppStream metainfo, installed where freedesktop
# desktops and software centres look for them. All files are named by the application id,
# which the program also passes to QGuiApplication::setDesktopFileName().
set(SPRIGWELL_APP_ID io.github.sprigwell.Sprigwell)

install(FILES ${PROJECT_SOURCE_DIR}/data/${SPRIGWELL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${SPRIGWELL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/sprigwell.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME ${SPRIGWELL_APP_ID}.png)
install(FILES ${PROJECT_SOURCE_DIR}/resources/sprigwell.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${SPRIGWELL_APP_ID}.svg)
