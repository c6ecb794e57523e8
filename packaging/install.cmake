# What `cmake --install` and each package install, included by the top-level CMakeLists.txt.
# One component a layout: the packages pick theirs in cpack_per_generator.cmake.

# Every file a package holds carries the commit's time (SOURCE_DATE_EPOCH, which the packing
# sets), also in a checkout older than the commit: rpm and NSIS record the files' own times.
set(oneline_date_installed_files [[
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND find "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}"
                    -exec touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} +)
  endif()]])

if(WIN32)
  # The .zip: the .exe with the README and the LICENSE beside it.
  install(TARGETS oneline RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  # The installer: the game in bin\, the folder its PATH option adds.
  install(TARGETS oneline RUNTIME DESTINATION bin COMPONENT nsis EXCLUDE_FROM_ALL)
  install(FILES README.md LICENSE DESTINATION . COMPONENT nsis EXCLUDE_FROM_ALL)
  # Signed after it is stripped (which would break the signature), where the packager names a
  # certificate and key (see authenticode-sign; without them it does nothing).
  set(sign ${CMAKE_CURRENT_LIST_DIR}/authenticode-sign)
  install(CODE "execute_process(COMMAND [[${sign}]] \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/oneline.exe\"
                                COMMAND_ERROR_IS_FATAL ANY)")
  install(CODE "execute_process(COMMAND [[${sign}]] \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/oneline.exe\"
                                COMMAND_ERROR_IS_FATAL ANY)" COMPONENT nsis EXCLUDE_FROM_ALL)
  install(CODE "${oneline_date_installed_files}" COMPONENT nsis EXCLUDE_FROM_ALL)
elseif(NOT EMSCRIPTEN)
  include(GNUInstallDirs)
  # The page and the changelog name the version they document: it must be this one.
  file(STRINGS doc/oneline.6 manual_title REGEX "^\\.TH ")
  if(NOT manual_title MATCHES "\"oneline ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "doc/oneline.6 documents another version than ${PROJECT_VERSION}")
  endif()
  file(STRINGS packaging/changelog latest_change LIMIT_COUNT 1)
  if(NOT latest_change MATCHES "^oneline \\(${PROJECT_VERSION}\\)")
    message(FATAL_ERROR "packaging/changelog does not start with ${PROJECT_VERSION}")
  endif()
  # Compressed at configure time (again whenever they change), as man(1) and Debian expect:
  # gzip -n leaves out the name and time, so the packages stay the same byte for byte.
  configure_file(doc/oneline.6 oneline.6 COPYONLY)
  configure_file(packaging/changelog changelog COPYONLY)
  find_program(GZIP_EXECUTABLE gzip)
  if(GZIP_EXECUTABLE)
    execute_process(COMMAND ${GZIP_EXECUTABLE} -9nf oneline.6 changelog
                    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} COMMAND_ERROR_IS_FATAL ANY)
    set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/oneline.6.gz)
    set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  else()
    set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/oneline.6)
    set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)
  endif()
  set(man6 ${CMAKE_INSTALL_MANDIR}/man6)

  # The desktop's menu entry (which opens the game in a terminal), its icons and its listing in
  # software centres, under one reverse-DNS id: the home page's domain reversed, with
  # underscores for its hyphens, as AppStream asks.
  set(ONELINE_APP_ID example.c_seed_7e1bec5f.oneline)
  # The hicolor sizes are those make-icons made: packaging/icons/<size>.png.
  file(GLOB icons RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/icons packaging/icons/[0-9]*.png)
  list(TRANSFORM icons REPLACE "\\.png$" "" OUTPUT_VARIABLE ONELINE_ICON_SIZES)
  include(${CMAKE_CURRENT_LIST_DIR}/releases.cmake)
  oneline_releases(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog ONELINE_RELEASES)
  set(desktop_entry ${CMAKE_CURRENT_BINARY_DIR}/${ONELINE_APP_ID}.desktop)
  set(metainfo ${CMAKE_CURRENT_BINARY_DIR}/${ONELINE_APP_ID}.metainfo.xml)
  configure_file(packaging/desktop-entry.desktop.in ${desktop_entry} @ONLY)
  configure_file(packaging/metainfo.xml.in ${metainfo} @ONLY)
  # install_desktop_files([COMPONENT <name> EXCLUDE_FROM_ALL]): where desktops look for them.
  function(install_desktop_files)
    set(share ${CMAKE_INSTALL_DATAROOTDIR})
    install(FILES ${desktop_entry} DESTINATION ${share}/applications ${ARGN})
    install(FILES ${metainfo} DESTINATION ${share}/metainfo ${ARGN})
    foreach(size IN LISTS ONELINE_ICON_SIZES)
      install(FILES packaging/icons/${size}.png DESTINATION ${share}/icons/hicolor/${size}x${size}/apps
              RENAME ${ONELINE_APP_ID}.png ${ARGN})
    endforeach()
    install(FILES packaging/icons/oneline.svg DESTINATION ${share}/icons/hicolor/scalable/apps
            RENAME ${ONELINE_APP_ID}.svg ${ARGN})
  endfunction()

  # cmake --install: the game in bin/, as any program built from source.
  install(TARGETS oneline RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${manual_page} DESTINATION ${man6})
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install_desktop_files()
  # The .deb, as Debian's policy has it: the game in /usr/games, the license in a
  # machine-readable copyright file, and a changelog.
  install(TARGETS oneline RUNTIME DESTINATION games COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES ${manual_page} DESTINATION ${man6} COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES README.md packaging/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR}
          COMPONENT deb EXCLUDE_FROM_ALL)
  install_desktop_files(COMPONENT deb EXCLUDE_FROM_ALL)
  # The .rpm, as Fedora has it: the game in /usr/bin, the license where %license puts it.
  install(TARGETS oneline RUNTIME DESTINATION bin COMPONENT rpm EXCLUDE_FROM_ALL)
  install(FILES ${manual_page} DESTINATION share/man/man6 COMPONENT rpm EXCLUDE_FROM_ALL)
  install(FILES LICENSE DESTINATION share/licenses/oneline COMPONENT rpm EXCLUDE_FROM_ALL)
  install(FILES README.md DESTINATION share/doc/oneline COMPONENT rpm EXCLUDE_FROM_ALL)
  install_desktop_files(COMPONENT rpm EXCLUDE_FROM_ALL)
  # rpm only lowers later times to the commit's time.
  install(CODE "${oneline_date_installed_files}" COMPONENT rpm EXCLUDE_FROM_ALL)
  # The tarball: the static game where there is one.
  if(TARGET oneline_static)
    install(TARGETS oneline_static RUNTIME DESTINATION bin COMPONENT tarball EXCLUDE_FROM_ALL)
  else()
    install(TARGETS oneline RUNTIME DESTINATION bin COMPONENT tarball EXCLUDE_FROM_ALL)
  endif()
  install(FILES ${manual_page} DESTINATION share/man/man6 COMPONENT tarball EXCLUDE_FROM_ALL)
  install(FILES README.md LICENSE DESTINATION share/doc/oneline COMPONENT tarball
          EXCLUDE_FROM_ALL)
  install_desktop_files(COMPONENT tarball EXCLUDE_FROM_ALL)
endif()
