# The API reference (cmake --build <dir> --target docs): Doxygen over the
# public headers, the README as the main page. Any warning (an undocumented
# public entry, a broken reference) fails the build of the reference.
find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  file(GLOB QB_DOCS_HEADERS CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/*/include/qbarcode/*.h ${PROJECT_SOURCE_DIR}/platform/*/include/qbarcode/*.h)
  list(SORT QB_DOCS_HEADERS)
  list(JOIN QB_DOCS_HEADERS " " QB_DOCS_INPUT)
  string(APPEND QB_DOCS_INPUT " ${PROJECT_SOURCE_DIR}/README.md")
  set(QB_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_target(docs COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
                    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
                    COMMENT "API reference in ${QB_DOCS_DIR}/html" VERBATIM)
endif()
