# Debian packages (cpack -G DEB in the build folder):
#   qbarcode       the command and the shared libraries
#   qbarcode-dev   headers, the link-time library names, the CMake package and
#                  pkg-config files (and the static libraries with QB_INSTALL_STATIC)
# The fonts are Debian's (fonts-dejavu-core), never copied.
set(CPACK_PACKAGE_NAME qbarcode)
set(CPACK_PACKAGE_VENDOR "qbarcode developers")
set(CPACK_PACKAGE_CONTACT "qbarcode developers <qbarcode@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Linear barcodes: 23 symbologies encoded, drawn and printed")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME qbarcode)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "The qbarcode command, the runtime packages and the component packages Kavrel and Kavrin.")
# Library dependencies (Cairo, SQLite, zlib, the C++ runtime) come from
# dpkg-shlibdeps; the fonts are looked up by name at run time.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# ldconfig runs after installing and removing the libraries.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME qbarcode-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Development files: headers under include/qbarcode, the CMake package and pkg-config files.")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qbarcode (= ${PROJECT_VERSION})")
if(QB_INSTALL_STATIC)
  string(APPEND CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ", libcairo2-dev, libsqlite3-dev, zlib1g-dev, pkg-config")
endif()
include(CPack)
