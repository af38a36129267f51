# `cmake --install`: the two programs where a Linux system keeps them (GNU directories), with
# the desktop entry, its icon, the AppStream metadata, the manual pages and shell completion.
# The strings tables need no install step: they are compiled into both programs.
include(GNUInstallDirs)

# Neither address is known yet: without one, the metadata and the package name none.
set(QUILLANE_HOMEPAGE_URL ""
    CACHE STRING "The project's home page, named by the AppStream metadata and the package")
set(QUILLANE_SCREENSHOT_URL ""
    CACHE STRING "Where the pictures of docs/screenshots/ are published, for the AppStream metadata")

set(quillane_resources ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS quillane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The licence, where Debian keeps a package's copyright notice.
install(FILES ${quillane_resources}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages: roff with the version filled in, compressed as Debian keeps them.
set(quillane_man_pages quillane.1)
if(TARGET quillane-app)
  list(APPEND quillane_man_pages quillane-app.1)
endif()
foreach(page ${quillane_man_pages})
  configure_file(${quillane_resources}/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
    COMMAND gzip -9nkf ${page}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page})
  list(APPEND quillane_compressed_pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(quillane_man_pages ALL DEPENDS ${quillane_compressed_pages})
install(FILES ${quillane_compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Completion: bash-completion looks a script up by the command's name, so the one script
# goes in under both names. zsh's directory is the one Debian's zsh reads for packages.
set(quillane_completed_commands quillane)
if(TARGET quillane-app)
  list(APPEND quillane_completed_commands quillane-app)
endif()
foreach(command ${quillane_completed_commands})
  install(FILES ${quillane_resources}/completion/quillane.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${command})
endforeach()
install(FILES ${quillane_resources}/completion/_quillane
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

if(NOT TARGET quillane-app)
  return()
endif()

install(TARGETS quillane-app RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${quillane_resources}/quillane-app.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon: the PNG sizes rendered from the SVG by scripts/render-icons, and the SVG itself.
foreach(size 16 22 24 32 48 64 128)
  install(FILES ${quillane_resources}/icons/hicolor/${size}x${size}/quillane.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${quillane_resources}/icons/quillane.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${quillane_resources}/icons/quillane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(QUILLANE_HOMEPAGE_ELEMENT "")
if(QUILLANE_HOMEPAGE_URL)
  set(QUILLANE_HOMEPAGE_ELEMENT "  <url type=\"homepage\">${QUILLANE_HOMEPAGE_URL}</url>\n")
endif()
set(QUILLANE_SCREENSHOTS_ELEMENT "")
if(QUILLANE_SCREENSHOT_URL)
  string(CONCAT QUILLANE_SCREENSHOTS_ELEMENT
    "  <screenshots>\n"
    "    <screenshot type=\"default\">\n"
    "      <caption>The main window with a source folder chosen</caption>\n"
    "      <image>${QUILLANE_SCREENSHOT_URL}/main.png</image>\n"
    "    </screenshot>\n"
    "    <screenshot>\n"
    "      <caption>The progress sheet while a document is made</caption>\n"
    "      <image>${QUILLANE_SCREENSHOT_URL}/sheet.png</image>\n"
    "    </screenshot>\n"
    "  </screenshots>\n")
endif()
configure_file(${quillane_resources}/org.quillane.quillane.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/org.quillane.quillane.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.quillane.quillane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
