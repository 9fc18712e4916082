# The Debian package: `cpack -G DEB` in a build folder (./dev.sh package). Its dependencies come from the
# shared libraries the programs load (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME katalox)
set(CPACK_PACKAGE_VERSION ${KATALOX_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "The Katalox developers")
set(CPACK_PACKAGE_VENDOR "The Katalox developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of removable discs")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Katalox records the whole folder tree of a CD, a DVD, a disc image or a folder\n"
    "together with facts about the disc in a catalog file. Without the disc at hand\n"
    "you browse owners, filesets, discs and folders, and search every catalog for a\n"
    "name to learn which disc holds it. The package holds the program, its companion\n"
    "programs and ktb, the command line over catalog files.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# USB sticks and memory cards are mounted the way file managers mount them, through UDisks2; without it
# they are read once something else mounted them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udisks2)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
