# The Debian package: `cpack -G DEB` in a build folder (scripts/package does
# it). Its dependencies are the packages dpkg-shlibdeps finds for the
# programs' libraries; none is listed by hand. Recommended: what Collect
# runs on Linux (the collection tool calls systemd-journal-remote).
set(VELLACORD_PACKAGE_MAINTAINER "Corvistra <vellacord@corvistra.com>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellacord)
set(CPACK_PACKAGE_VENDOR Corvistra)
set(CPACK_PACKAGE_CONTACT "${VELLACORD_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vellacord.corvistra.com/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "log viewer and crash-report browser")
# The summary above is the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Vellacord shows the system journal (live) or a saved archive in one fast
list with severity badges, a timeline, filters, search and sorting. It opens
a Mac's unified log bundle (.logarchive) without the Mac, a folder of
systemd journal files (such as a journal-remote collector's output) and a
Mac's log show --style ndjson export. It browses crash reports, exports the
list as text, CSV or JSON lines, and asks an AI provider (your own key) to
explain an entry or a crash.
.
vellacord-cli runs the same queries, filters and exports from scripts.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS systemd-journal-remote)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian package installs under /usr, whatever the build's own prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
