# Read by cpack for each generator: which of the build's installed files each package holds.
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_folder)
if(CPACK_GENERATOR STREQUAL "DEB")
  # Debian's layout: the dynamic game in /usr/games, a copyright file and a changelog.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${build_folder};oneline;deb;/")
  # dpkg-shlibdeps reads the dependencies for the machine the package is for, from Debian's
  # multiarch libraries of that machine (libc6:arm64, say) where it is not this one.
  if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
  endif()
elseif(CPACK_GENERATOR STREQUAL "RPM")
  # Fedora's layout: the dynamic game in /usr/bin, the license and documents apart.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${build_folder};oneline;rpm;/")
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  # Any Linux: the static game in bin/.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${build_folder};oneline;tarball;/")
endif()

# Every file packed carries the time of the last commit, not of the build, so that two builds of
# one commit give the same packages byte for byte. A time given in the environment wins; outside
# a git checkout the packages carry the build's time.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CPACK_ONELINE_SOURCE_DIR}
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_status ERROR_QUIET)
  if(git_status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
