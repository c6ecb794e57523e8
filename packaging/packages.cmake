# The packages, included by the top-level CMakeLists.txt: cpack -G DEB / TGZ / RPM (Linux),
# cpack -G ZIP / NSIS64 (Windows). Two builds of one commit give the same packages byte for
# byte. What differs per generator (each package's files, the installer's set-up, signing) is
# in cpack_per_generator.cmake, which cpack reads as it packs.
set(CPACK_PACKAGE_NAME oneline)
set(CPACK_PACKAGE_VENDOR "the oneline authors")
set(CPACK_PACKAGE_HOMEPAGE_URL ${ONELINE_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_DESCRIPTION
    "oneline is a small real-time action game that lives on a single 80-column
line of a terminal, rebuilt and printed in place about fifteen times a second.
You walk with a and d, fire shots or a beam with space and switch the weapon
with m, while an enemy walks toward you and loses hit points when hit.
There are no options, files or score: the game runs until it is stopped.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
# Debian's name for the machine the game is built for (not the one building it).
set(debian_architectures x86_64=amd64 AMD64=amd64 aarch64=arm64 arm=armhf armv7l=armhf
    riscv64=riscv64 s390x=s390x i686=i386)
foreach(pair IN LISTS debian_architectures)
  string(REPLACE "=" ";" pair ${pair})
  list(GET pair 0 processor)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL processor)
    list(GET pair 1 CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  endif()
endforeach()
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # The tarball's name says the machine: oneline-0.1.0-Linux-aarch64.tar.gz.
  set(CPACK_SYSTEM_NAME Linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ONELINE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP Amusements/Games)
set(CPACK_RPM_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RPM_PACKAGE_SUMMARY "Real-time action game on one 80-column console line")
# Reproducible: the commit's time as the build time and for every file (SOURCE_DATE_EPOCH, which
# the packing sets), and no build host's name.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${ONELINE_MAINTAINER}
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define _buildhost reproducible")
set(CPACK_PACKAGE_RELOCATABLE OFF)
# The standard folders are the system's, not the game's: the hicolor theme's belong to its own
# package.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man6
    /usr/share/licenses /usr/share/applications /usr/share/metainfo /usr/share/icons
    /usr/share/icons/hicolor /usr/share/icons/hicolor/scalable
    /usr/share/icons/hicolor/scalable/apps)
foreach(size IN LISTS ONELINE_ICON_SIZES)
  list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/icons/hicolor/${size}x${size}
       /usr/share/icons/hicolor/${size}x${size}/apps)
endforeach()
set(CPACK_ONELINE_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_ONELINE_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
# Authenticode for the Windows packages: the packager's certificate and key (PEM files), here or
# in the environment (the environment wins). Without them the packages are unsigned.
set(ONELINE_AUTHENTICODE_CERT "" CACHE FILEPATH "Code-signing certificate (PEM) for the .exe")
set(ONELINE_AUTHENTICODE_KEY "" CACHE FILEPATH "Its private key (PEM)")
set(CPACK_ONELINE_AUTHENTICODE_CERT ${ONELINE_AUTHENTICODE_CERT})
set(CPACK_ONELINE_AUTHENTICODE_KEY ${ONELINE_AUTHENTICODE_KEY})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_per_generator.cmake)
include(CPack)
