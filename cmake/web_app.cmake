# Makes the web app folder from the built page (cmake -P, after each link of the page):
# index.html, the page that links its manifest and registers its service worker where it is
# served from a web host; the manifest, the worker and the icons beside it.
#
#   cmake -DPAGE=<oneline.html> -DSOURCE=<src/platform/web_app> -DICONS=<packaging/icons>
#         -DAPP=<folder> -P web_app.cmake
file(READ ${PAGE} page)
# Replaces a text the page must hold.
function(change_page from to)
  string(FIND "${page}" "${from}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${PAGE} lacks '${from}'")
  endif()
  string(REPLACE "${from}" "${to}" page "${page}")
  set(page "${page}" PARENT_SCOPE)
endfunction()
change_page("const partOfWebApp = false;" "const partOfWebApp = true;")
# Served, the page shows the game's icon in its tab, and iOS puts it on the Home Screen (older
# versions read no manifest's icons). The lone page, oneline.html, still loads nothing.
change_page("<link rel=\"icon\" href=\"data:,\">"
            "<link rel=\"icon\" href=\"icon-192.png\">\n<link rel=\"apple-touch-icon\" href=\"icon-192.png\">")
file(REMOVE_RECURSE ${APP})
file(WRITE ${APP}/index.html "${page}")
set(kept index.html manifest.webmanifest icon-192.png icon-512.png icon-maskable-512.png)
file(COPY ${SOURCE}/manifest.webmanifest DESTINATION ${APP})
# The game's icons, the very files the Linux packages install.
foreach(icon 192 512 maskable-512)
  configure_file(${ICONS}/${icon}.png ${APP}/icon-${icon}.png COPYONLY)
endforeach()
# The version names the files the worker keeps: any change to one of them makes a new worker.
set(digests "")
foreach(file IN LISTS kept)
  file(SHA256 ${APP}/${file} digest)
  string(APPEND digests "${digest} ${file}\n")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING ${version} 0 16 ONELINE_APP_VERSION)
configure_file(${SOURCE}/sw.js ${APP}/sw.js @ONLY)
