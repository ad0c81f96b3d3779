# The Debian package, made by `cpack -G DEB` in a build folder (scripts/package). The installed
# program keeps its files in the user's data folder and never writes under /usr.

# Manual pages, the package's change log and its copyright file, where Debian expects them.
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_gz ${CMAKE_BINARY_DIR}/packaging)
# They take the version from project(VERSION ...).
foreach(_file changelog zorvanell.1 zorvanell-publish.1)
    configure_file(${_pkg}/${_file}.in ${_gz}/${_file} @ONLY)
    set(_from ${_gz}/${_file})
    # -n leaves the time and name out, so the same sources give the same package.
    add_custom_command(OUTPUT ${_gz}/${_file}.gz
        COMMAND gzip -9nc ${_from} > ${_gz}/${_file}.gz
        DEPENDS ${_from}
        VERBATIM)
    list(APPEND _gzipped ${_gz}/${_file}.gz)
endforeach()
add_custom_target(package_docs ALL DEPENDS ${_gzipped})
install(FILES ${_gz}/zorvanell.1.gz ${_gz}/zorvanell-publish.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_gz}/changelog.gz ${_pkg}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zorvanell)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvanell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zorvanell team")
set(CPACK_PACKAGE_CONTACT "Zorvanell team <team@zorvanell.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of easter eggs with a Russian interface")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Zorvanell is a desktop catalogue of easter eggs: hidden features, jokes and\n"
       "secret screens in games, programs, operating systems, phones, appliances,\n"
       "web sites and films, each with the steps that reveal it. The user browses\n"
       "and searches the catalogue by category, adds and edits entries and fetches\n"
       "new ones from an update server. The interface is in Russian.\n"
       "\n"
       "The package ships a starter catalogue, copied into ~/.local/share/zorvanell\n"
       "on first start, and zorvanell-publish, which lays a catalogue out as update\n"
       "server files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://zorvanell.example.org/")
# The libraries the binaries link come from dpkg-shlibdeps; the rest is what they load or show.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# procps: the kill program, with which the small tool stops the user's own processes;
# qt6-image-formats-plugins: TIFF and WebP screenshots.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-translations-l10n, procps, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libarchive-tools")
include(CPack)
