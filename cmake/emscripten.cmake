# Builds the web page with Emscripten's own toolchain file, wherever Emscripten is installed:
# emsdk's (EMSDK), one named by EMSCRIPTEN, or Debian's (apt-get install emscripten). The same
# as emcmake, which also passes Emscripten's toolchain file.
foreach(root "$ENV{EMSDK}/upstream/emscripten" "$ENV{EMSCRIPTEN}" /usr/share/emscripten
        /usr/lib/emscripten)
  if(EXISTS "${root}/cmake/Modules/Platform/Emscripten.cmake")
    include("${root}/cmake/Modules/Platform/Emscripten.cmake")
    return()
  endif()
endforeach()
message(FATAL_ERROR "Emscripten not found: install it (Debian: apt-get install emscripten) or set EMSDK")
