# Read by cpack for each generator: which of the build's installed files each package holds,
# the installer's set-up, and what is signed.

# The packager's Authenticode certificate and key, named at configure time, reach
# authenticode-sign through the environment, unless the environment names its own.
foreach(part CERT KEY)
  if("$ENV{ONELINE_AUTHENTICODE_${part}}" STREQUAL "" AND CPACK_ONELINE_AUTHENTICODE_${part})
    set(ENV{ONELINE_AUTHENTICODE_${part}} ${CPACK_ONELINE_AUTHENTICODE_${part}})
  endif()
endforeach()

# Each package's own component of the installed files.
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
elseif(CPACK_GENERATOR STREQUAL "NSIS64")
  # The Windows installer, a 64-bit program itself: for the whole machine, into
  # Program Files\oneline under a name without the version, so that a new version replaces
  # the installed one (its uninstaller runs first) and Installed apps keeps one entry.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${build_folder};oneline;nsis;/")
  set(CPACK_PACKAGE_INSTALL_DIRECTORY oneline)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY oneline)
  set(CPACK_NSIS_PACKAGE_NAME oneline)
  set(CPACK_NSIS_DISPLAY_NAME oneline)
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  # The Start menu opens the game in a console window of its own.
  set(CPACK_PACKAGE_EXECUTABLES oneline oneline)
  set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\oneline.exe")
  # The installer and the uninstaller wear the game's face too.
  set(CPACK_NSIS_MUI_ICON ${CPACK_ONELINE_PACKAGING_DIR}/icons/oneline.ico)
  set(CPACK_NSIS_MUI_UNIICON ${CPACK_ONELINE_PACKAGING_DIR}/icons/oneline.ico)
  set(CPACK_NSIS_URL_INFO_ABOUT ${CPACK_PACKAGE_HOMEPAGE_URL})
  # Uninstalling leaves no empty key of the publisher's behind (this runs after the template has
  # removed the key under it).
  set(CPACK_NSIS_DELETE_ICONS_EXTRA
      "DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"")
  # A page offers to put bin\ on PATH; it is off unless chosen (and /S never chooses it).
  set(CPACK_NSIS_MODIFY_PATH ON)
  set(uninstall_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\oneline")
  # Installed over a copy in another folder (/D=), the copy's uninstaller ran in place (its
  # folder is in $3), which leaves the uninstaller itself behind: it goes, with its folder,
  # where it is alone there.
  set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS [[
  StrCmp $3 "" onelineOldCopyDone
  StrCmp $3 $INSTDIR onelineOldCopyDone
  IfFileExists "$3\Uninstall.exe" 0 onelineOldCopyDone
  StrCpy $R2 0
  FindFirst $R0 $R1 "$3\*"
  onelineOldCopyCount:
    StrCmp $R1 "" onelineOldCopyCounted
    IntOp $R2 $R2 + 1
    FindNext $R0 $R1
    Goto onelineOldCopyCount
  onelineOldCopyCounted:
  FindClose $R0
  IntCmp $R2 3 0 onelineOldCopyDone onelineOldCopyDone
  Delete "$3\Uninstall.exe"
  RMDir "$3"
  onelineOldCopyDone:]])
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS
      "WriteRegStr SHCTX \"${uninstall_key}\" \"InstallLocation\" \"$INSTDIR\"")
  set(CPACK_NSIS_EXECUTABLE "${CPACK_ONELINE_PACKAGING_DIR}/makensis-dated")
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  if(NOT "$ENV{ONELINE_AUTHENTICODE_CERT}$ENV{ONELINE_AUTHENTICODE_KEY}" STREQUAL "")
    # makensis signs the uninstaller it embeds and the installer it writes.
    set(sign "${CPACK_ONELINE_PACKAGING_DIR}/authenticode-sign")
    string(APPEND CPACK_NSIS_DEFINES "
!finalize '\"${sign}\" \"%1\"' = 0
!uninstfinalize '\"${sign}\" \"%1\"' = 0")
  endif()
endif()

# Every file packed carries the time of the last commit, not of the build, so that two builds of
# one commit give the same packages byte for byte. A time given in the environment wins; then the
# time git archive wrote into the source release, then git's; outside both the packages carry
# the build's time.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  file(STRINGS ${CPACK_ONELINE_PACKAGING_DIR}/commit-time commit_time REGEX "^[0-9]+$")
  if(NOT commit_time)
    # Without git, or outside a checkout, it prints nothing.
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CPACK_ONELINE_SOURCE_DIR}
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
