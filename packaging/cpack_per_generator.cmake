# Read by cpack for each generator: which of the build's installed files each package holds.
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_folder)
if(CPACK_GENERATOR STREQUAL "DEB")
  # Debian's layout: the dynamic game in /usr/games, a copyright file and a changelog.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${build_folder};oneline;deb;/")
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  # Any Linux: the static game in bin/.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${build_folder};oneline;tarball;/")
endif()
