# Installing the library for use by other builds:
#   bin/qbarcode                         the command
#   lib/lib<name>.so.<VERSION>           the runtime packages and Kavrel/Kavrin,
#   lib/lib<name>.so.<SOVERSION>         with their SONAME link
#   lib/lib<name>.so                     the link-time name (development files)
#   lib/lib<layer>.a                     the static layers, with QB_INSTALL_STATIC
#   include/qbarcode/*.h                 every layer's public headers, nothing internal
#   lib/cmake/qbarcode/                  the CMake package (qbarcode::core, ...)
#   lib/pkgconfig/*.pc                   pkg-config files (qbarcode, qbarcode-kavrin, one per runtime package)
# Components: "runtime" (command and shared libraries) and "dev" (the rest).
#
# SONAME rule: a library's SONAME is lib<name>.so.<major version>. Any change
# that breaks the binary interface of an installed library (a removed or
# changed public function, a class whose layout or virtual functions change,
# an enumeration whose values move) raises the project's major version, and
# with it every SONAME: the libraries are released together and require each
# other. Additions that keep the interface raise the minor version.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(QB_INSTALL_STATIC "Install the static libraries and their CMake targets too" OFF)

# Build name -> exported name (qbarcode::<name>).
set(QB_SHARED_EXPORTS qbrtl:rtl qbvisual:visual qbdbrtl:dbrtl qbdbaware:dbaware Kavrel:Kavrel Kavrin:Kavrin)
set(QB_STATIC_EXPORTS
    qb_sysutils:sysutils_static qb_classes:classes_static qb_packages:packages_static
    qb_graphics:graphics_static qb_printers:printers_static qb_platform_controls:platform_controls_static
    qb_db:db_static qb_core_kavrel:core_kavrel_static qb_core_kavrin:core_kavrin_static
    qb_controls_kavrel:controls_kavrel_static qb_controls_kavrin:controls_kavrin_static)

# The include folders of a target point into the source tree while building
# and at <prefix>/include once installed, where every public header lives
# under qbarcode/.
function(qb_relocate_includes target)
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set(relocated "")
  if(dirs)
    foreach(dir IN LISTS dirs)
      list(APPEND relocated "$<BUILD_INTERFACE:${dir}>")
    endforeach()
  endif()
  list(APPEND relocated "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
  set_property(TARGET ${target} PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${relocated}")
endfunction()

function(qb_prepare_exports)
  foreach(pair IN LISTS ARGN)
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 target)
    list(GET pair 1 exported)
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${exported})
    # The public headers use C++20 (std::span); users compile with it too.
    target_compile_features(${target} INTERFACE cxx_std_20)
    qb_relocate_includes(${target})
  endforeach()
endfunction()

set(QB_SHARED_TARGETS "")
foreach(pair IN LISTS QB_SHARED_EXPORTS)
  string(REGEX REPLACE ":.*" "" target "${pair}")
  list(APPEND QB_SHARED_TARGETS ${target})
endforeach()
qb_prepare_exports(${QB_SHARED_EXPORTS})
set_target_properties(${QB_SHARED_TARGETS} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

# Installed programs and libraries find the shared libraries relative to their
# own folder ($ORIGIN), wherever the prefix is. Each is linked once with the
# search path it keeps: a path CMake rewrites on install is linked padded with
# empty entries to make room, and the dynamic loader reads an empty entry as
# the working folder, where anybody's libsqlite3.so.0 would be loaded. The
# path names the library folder as installed and, where the build tree places
# the target differently, as built; then the folders of system libraries
# linked from outside the standard ones.
function(qb_origin_rpath destination)
  get_filename_component(destination ${destination} ABSOLUTE BASE_DIR ${CMAKE_INSTALL_PREFIX})
  file(RELATIVE_PATH installed ${destination} ${CMAKE_INSTALL_FULL_LIBDIR})
  foreach(target IN LISTS ARGN)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
    else()
      get_target_property(folder ${target} LIBRARY_OUTPUT_DIRECTORY)
    endif()
    if(NOT folder)
      get_target_property(folder ${target} BINARY_DIR)
    endif()
    file(RELATIVE_PATH built ${folder} ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
    set(paths "")
    foreach(relative IN ITEMS "${installed}" "${built}")
      if(relative STREQUAL "")
        list(APPEND paths "$ORIGIN")
      else()
        list(APPEND paths "$ORIGIN/${relative}")
      endif()
    endforeach()
    list(REMOVE_DUPLICATES paths)
    set_target_properties(${target} PROPERTIES BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "${paths}"
                                               INSTALL_RPATH_USE_LINK_PATH ON)
  endforeach()
endfunction()

qb_origin_rpath(${CMAKE_INSTALL_LIBDIR} ${QB_SHARED_TARGETS})
qb_origin_rpath(${CMAKE_INSTALL_BINDIR} qbarcode)
install(TARGETS qbarcode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS ${QB_SHARED_TARGETS} EXPORT qbarcodeTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)

# Public headers: <layer>/include/qbarcode/*.h of every layer. Private headers
# sit beside the sources and are never installed.
file(GLOB QB_PUBLIC_HEADERS CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/*/include/qbarcode/*.h ${PROJECT_SOURCE_DIR}/platform/*/include/qbarcode/*.h)
# The Qt layer's headers need Qt's: they come with the Qt component.
list(FILTER QB_PUBLIC_HEADERS EXCLUDE REGEX "^${PROJECT_SOURCE_DIR}/qt/")
install(FILES ${QB_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qbarcode COMPONENT dev)

set(QB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qbarcode)
install(EXPORT qbarcodeTargets NAMESPACE qbarcode:: DESTINATION ${QB_CMAKE_DIR} COMPONENT dev)

if(QB_INSTALL_STATIC)
  set(QB_STATIC_TARGETS "")
  foreach(pair IN LISTS QB_STATIC_EXPORTS)
    string(REGEX REPLACE ":.*" "" target "${pair}")
    list(APPEND QB_STATIC_TARGETS ${target})
  endforeach()
  qb_prepare_exports(${QB_STATIC_EXPORTS})
  # The system libraries under the static layers: linked shared by users,
  # through the targets the package configuration defines.
  set_target_properties(qb_graphics_libraries PROPERTIES EXPORT_NAME graphics_libraries)
  set_target_properties(qb_sqlite_library PROPERTIES EXPORT_NAME sqlite_library)
  install(TARGETS ${QB_STATIC_TARGETS} qb_graphics_libraries qb_sqlite_library EXPORT qbarcodeStaticTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
  install(EXPORT qbarcodeStaticTargets NAMESPACE qbarcode:: DESTINATION ${QB_CMAKE_DIR} COMPONENT dev)
endif()

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/qbarcodeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/qbarcodeConfig.cmake INSTALL_DESTINATION ${QB_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/qbarcodeConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/qbarcodeConfig.cmake ${PROJECT_BINARY_DIR}/cmake/qbarcodeConfigVersion.cmake
  DESTINATION ${QB_CMAKE_DIR} COMPONENT dev)

# pkg-config files find the prefix from their own place, so an installed tree
# can be moved (and the same files serve /usr and a private prefix).
file(RELATIVE_PATH QB_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" QB_PC_TO_PREFIX "${QB_PC_TO_PREFIX}")
function(qb_pkg_config name description libs)
  set(QB_PC_NAME "${name}")
  set(QB_PC_DESCRIPTION "${description}")
  set(QB_PC_LIBS "${libs}")
  list(JOIN ARGN " " QB_PC_REQUIRES)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/qbarcode.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endfunction()
qb_pkg_config(qbrtl "qbarcode runtime library" "-lqbrtl")
qb_pkg_config(qbvisual "qbarcode visual library" "-lqbvisual" qbrtl)
qb_pkg_config(qbdbrtl "qbarcode database runtime" "-lqbdbrtl" qbrtl)
qb_pkg_config(qbdbaware "qbarcode data-aware library" "-lqbdbaware" qbdbrtl qbvisual)
qb_pkg_config(qbarcode "Linear barcodes: encoding, drawing, printing, controls (assertions on)" "-lKavrel" qbdbaware)
qb_pkg_config(qbarcode-kavrin "Linear barcodes: encoding, drawing, printing, controls (assertions off)" "-lKavrin"
              qbdbaware)

# Documentation: the README, the copyright file and the changelog in each
# package's documentation folder (compressed as Debian's tools do), and the
# command's manual page, written by help2man from the command's own help, so
# it lists the options --help does.
find_program(QB_GZIP gzip REQUIRED)
find_program(QB_HELP2MAN help2man)
set(QB_DOC_BUILD ${PROJECT_BINARY_DIR}/doc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${QB_DOC_BUILD}/changelog @ONLY)
add_custom_command(OUTPUT ${QB_DOC_BUILD}/changelog.gz
                   COMMAND ${QB_GZIP} -9nkf ${QB_DOC_BUILD}/changelog DEPENDS ${QB_DOC_BUILD}/changelog)
set(QB_DOC_OUTPUTS ${QB_DOC_BUILD}/changelog.gz)
if(QB_HELP2MAN)
  # help2man names the page after the program it runs: a wrapper called qbarcode.
  file(GENERATE OUTPUT ${QB_DOC_BUILD}/help/qbarcode
       CONTENT "#!/bin/sh\nexec '${CMAKE_CURRENT_LIST_DIR}/manual-help.sh' '$<TARGET_FILE:qbarcode>' '${PROJECT_VERSION}' \"$@\"\n"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  add_custom_command(OUTPUT ${QB_DOC_BUILD}/qbarcode.1.gz
                     COMMAND ${QB_HELP2MAN} --no-info --section=1 "--name=linear barcodes in 23 symbologies"
                             --include=${CMAKE_CURRENT_LIST_DIR}/qbarcode.h2m --output=${QB_DOC_BUILD}/qbarcode.1
                             ${QB_DOC_BUILD}/help/qbarcode
                     COMMAND ${QB_GZIP} -9nf ${QB_DOC_BUILD}/qbarcode.1
                     DEPENDS qbarcode ${CMAKE_CURRENT_LIST_DIR}/manual-help.sh ${CMAKE_CURRENT_LIST_DIR}/qbarcode.h2m
                     VERBATIM)
  list(APPEND QB_DOC_OUTPUTS ${QB_DOC_BUILD}/qbarcode.1.gz)
  install(FILES ${QB_DOC_BUILD}/qbarcode.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
else()
  message(STATUS "help2man not found: no manual page (scripts/setup.sh installs it)")
endif()
add_custom_target(qb_manual ALL DEPENDS ${QB_DOC_OUTPUTS})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${QB_DOC_BUILD}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qbarcode COMPONENT runtime)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${QB_DOC_BUILD}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qbarcode-dev COMPONENT dev)
# Tags lintian raises that cannot apply to these packages, each with its reason.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/qbarcode.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qbarcode COMPONENT runtime)

# The Qt layer (component "qt", its own Debian package): the widgets'
# library (qbarcode::qt, in an export set of its own, so that the rest of the
# package needs no Qt), their headers, the Designer plugin in Qt's plugin
# folder (designer/) and the module that renders .ui files.
if(QB_HAVE_QT)
  qb_prepare_exports(qbarcode-qt:qt)
  set_target_properties(qbarcode-qt PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  set(QB_QT_PLUGIN_DIR ${QT6_INSTALL_PLUGINS}/designer)
  qb_origin_rpath(${CMAKE_INSTALL_LIBDIR} qbarcode-qt)
  qb_origin_rpath(${CMAKE_INSTALL_LIBDIR}/${QB_MODULE_DIR} qbarcode-ui)
  qb_origin_rpath(${QB_QT_PLUGIN_DIR} qbarcode_designer)
  install(TARGETS qbarcode-qt EXPORT qbarcodeQtTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT qt NAMELINK_COMPONENT qt)
  install(TARGETS qbarcode-ui LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/${QB_MODULE_DIR} COMPONENT qt)
  install(TARGETS qbarcode_designer LIBRARY DESTINATION ${QB_QT_PLUGIN_DIR} COMPONENT qt)
  install(FILES ${PROJECT_SOURCE_DIR}/qt/include/qbarcode/qbbarcode.h ${PROJECT_SOURCE_DIR}/qt/include/qbarcode/qbdbbarcode.h
                ${QB_QT_PROPERTIES_HEADER} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qbarcode COMPONENT qt)
  install(EXPORT qbarcodeQtTargets NAMESPACE qbarcode:: DESTINATION ${QB_CMAKE_DIR} COMPONENT qt)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${QB_DOC_BUILD}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qbarcode-qt COMPONENT qt)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/qbarcode-qt.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qbarcode-qt COMPONENT qt)
endif()
