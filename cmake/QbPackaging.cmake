# Debian packages (cpack -G DEB in the build folder; scripts/check-deb.sh
# builds them, runs lintian on them, installs and removes them):
#   qbarcode       the command, its manual page and the shared libraries
#   qbarcode-dev   headers, the link-time library names, the CMake package and
#                  pkg-config files (and the static libraries with QB_INSTALL_STATIC)
#   qbarcode-qt    the Qt widgets (library, headers, CMake targets qbarcode::qt),
#                  the Qt Designer plugin and the module that renders .ui files
# Each with the README (qbarcode), a copyright file and a changelog in its
# documentation folder. The fonts are Debian's (fonts-dejavu-core), never copied.
set(CPACK_PACKAGE_NAME qbarcode)
set(CPACK_PACKAGE_VENDOR "qbarcode developers")
set(CPACK_PACKAGE_CONTACT "qbarcode developers <qbarcode@example.org>")
# Installed files are stripped; the packages carry no debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME qbarcode)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION utils)
# Descriptions: the synopsis on the first line, then the extended description
# (an empty line separates paragraphs).
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "linear barcodes: the qbarcode command and its libraries
qbarcode encodes, draws and prints barcodes in 23 linear symbologies (EAN,
UPC, Code 128, Code 39, Code 93, 2 of 5, Codabar, MSI, PostNet and more) as
PNG, SVG, PDF or PostScript, renders form files and prints label sheets from
SQLite tables or CSV files.

This package holds the command, the runtime libraries (qbrtl, qbvisual,
qbdbrtl, qbdbaware) and the component packages Kavrel and Kavrin.")
# Library dependencies (FreeType, fontconfig, SQLite, zlib, libdeflate, the C and
# C++ runtimes) come from dpkg-shlibdeps, from the libraries actually linked;
# the fonts are looked up by name at run time.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# The shared libraries' shlibs entries (what a package linked against them
# depends on) and dpkg's ldconfig trigger, which refreshes the library cache
# after the package is installed or removed.
set(QB_SHLIBS "")
foreach(library IN LISTS QB_SHARED_TARGETS)
  string(APPEND QB_SHLIBS "lib${library} ${PROJECT_VERSION_MAJOR} qbarcode (>= ${PROJECT_VERSION})\n")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/debian/shlibs "${QB_SHLIBS}")
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/shlibs ${PROJECT_BINARY_DIR}/debian/triggers)
# CPack adds maintainer scripts that call ldconfig themselves; they go.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/drop-ldconfig-scripts.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME qbarcode-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION "linear barcodes: development files
The headers of the qbarcode libraries (under include/qbarcode), their
link-time names, the CMake package (find_package(qbarcode)) and the
pkg-config files, for programs that encode, draw and print barcodes.")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qbarcode (= ${PROJECT_VERSION})")
if(QB_INSTALL_STATIC)
  string(APPEND CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ", libfreetype-dev, libfontconfig-dev, libsqlite3-dev, zlib1g-dev, libdeflate-dev, pkg-config")
endif()
if(QB_HAVE_QT)
  list(APPEND CPACK_COMPONENTS_ALL qt)
  set(CPACK_DEBIAN_QT_PACKAGE_NAME qbarcode-qt)
  set(CPACK_DEBIAN_QT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_QT_DESCRIPTION "linear barcodes: Qt widgets and Qt Designer plugin
QbBarCode and QbDBBarcode, the barcode controls as Qt 6 widgets: every
property of the controls as a Qt property, vector painting on any paint
device, and data binding to any item model through QDataWidgetMapper.

This package holds the widgets' library with its headers and CMake targets
(find_package(qbarcode COMPONENTS qt)), the Qt Designer plugin that offers
both widgets in the group Orlenvo, and the module with which
qbarcode form render renders .ui files.")
  set(CPACK_DEBIAN_QT_PACKAGE_SHLIBDEPS ON)
  # Its libraries link the qbarcode package's, which dpkg-shlibdeps finds in
  # the build (the dependency on that package is named below).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
  set(CPACK_DEBIAN_QT_PACKAGE_DEPENDS "qbarcode (= ${PROJECT_VERSION}), qbarcode-dev (= ${PROJECT_VERSION}), qt6-base-dev")
  file(WRITE ${PROJECT_BINARY_DIR}/debian/qt/shlibs
       "libqbarcode-qt ${PROJECT_VERSION_MAJOR} qbarcode-qt (>= ${PROJECT_VERSION})\n")
  file(WRITE ${PROJECT_BINARY_DIR}/debian/qt/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_QT_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/qt/shlibs
                                            ${PROJECT_BINARY_DIR}/debian/qt/triggers)
endif()
include(CPack)
