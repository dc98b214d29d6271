# The Debian package's recipe: its fields, for CPack, included by
# cmake/Package.cmake, which installs the files (the same as every Linux
# format's) and makes zarnolaunch_<version>_<arch>.deb:
#
#   /usr/bin/zarnolaunch
#   /usr/share/applications/zarnolaunch.desktop
#   /usr/share/mime/packages/zarnolaunch.xml
#   /usr/share/icons/hicolor/   the icon: <n>x<n>/apps/zarnolaunch.png, 16 to
#                               256, and scalable/apps/zarnolaunch.svg
#   /usr/share/doc/zarnolaunch/   README.md.gz, copyright, changelog.gz
#                                 (packaging/deb-changelog.in)
#   /usr/share/lintian/overrides/zarnolaunch   packaging/lintian-overrides
#
# The documents are compressed as Debian's policy asks (12.3), by gzip -n,
# which leaves the file's name and time out of the header: the same text
# always makes the same bytes.
#
# No maintainer scripts: the triggers of shared-mime-info, desktop-file-utils
# and the icon theme cache rebuild the MIME database, the desktop entries'
# MIME cache and the icon cache whenever files land in or leave
# /usr/share/mime/packages, /usr/share/applications and /usr/share/icons.
# A user's own registration ("-install") still comes first for that user, as
# XDG_DATA_HOME is searched before the system folders.
#
# No Depends: the launcher is linked statically.  xdg-utils is what browsers
# and file managers hand links over with; wine runs a Windows build of the
# game; zenity, kdialog or xmessage (x11-utils) shows the launcher's messages
# as dialogs.
#
# lintian (Debian 12's, 2.116.3, even with --pedantic) reports no error.
# embedded-library (libyaml, which reads the game managers' records), an
# error for a usual package, and shared-library-lacks-prerequisites, which
# lintian says of every static PIE, are overridden in the package
# (packaging/lintian-overrides) with their reason: the launcher is static
# on purpose.  The one warning that stays, which the tests let
# pass and no other:
#   no-manual-page [usr/bin/zarnolaunch]
#     the launcher is started by the desktop, not by people at a shell; its
#     options are in the README installed beside the copyright file.
set(ZARNO_DEB_LINTIAN_WARNINGS no-manual-page)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnolaunch)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ZARNO_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZARNO_PACKAGER}")
# Not "games": that section is for the games themselves, in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine, zenity | kdialog | x11-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher that joins Zarnok game servers from links")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ZarnoLaunch opens Zarnok server link files (.zarnok) and zarnolaunch: links
from web pages and file managers: it reads the server's address, checks it,
and starts the installed game on that server.
.
The package registers the launcher with the desktop for every user. The
game is found through the launcher's registry file; a Windows build of the
game can run under Wine.")
