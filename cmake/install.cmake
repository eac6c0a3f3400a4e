# `cmake --install` puts the program, its menu entry and its icons where
# desktops look for them under the prefix.
include(GNUInstallDirs)

install(TARGETS tavolin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ui/icons/tavolin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
    install(FILES ui/icons/tavolin-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME tavolin.png)
endforeach()
install(FILES ui/icons/tavolin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
