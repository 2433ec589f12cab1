# The resource pipeline, run on every build; every output stays in the build tree.
#
#   documents  ${VELK_RESOURCE_DIR}/uiconfig.xml  (TEXTFILE 100, embedded as "resources/uiconfig.tea")
#              ${VELK_RESOURCE_DIR}/sysex.xml     (TEXTFILE 101, embedded as "resources/sysex.tea")
#              made by the target velk_documents
#   images     ${CMAKE_BINARY_DIR}/<file name of each row of config/ImageTable.def>
#              (e.g. resources/img/knob-velk-normal.png), all 112 rows, made by the target velk_skin_images
#
# velk_rescipher enciphers the two documents; velk_resembed writes the generated resource table,
# which becomes part of velk_platform_resources (so the plug-in and every test link it).
# The generators of the authored documents and of the drawn skin replace only the two marked
# blocks below: keep the output paths and the target names.

# A cross build runs the generators of a native build: VELK_HOST_TOOLS names that build's folder, whose
# VelkHostTools.cmake defines them as imported executables under the same names.
if(CMAKE_CROSSCOMPILING)
  if(NOT VELK_HOST_TOOLS OR NOT EXISTS ${VELK_HOST_TOOLS}/VelkHostTools.cmake)
    message(FATAL_ERROR "a cross build needs VELK_HOST_TOOLS: a native build folder with the resource generators "
      "built (scripts/windows makes one)")
  endif()
  include(${VELK_HOST_TOOLS}/VelkHostTools.cmake)
endif()

set(VELK_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)
set(VELK_UI_DOCUMENT ${VELK_RESOURCE_DIR}/uiconfig.xml)
set(VELK_SYSEX_DOCUMENT ${VELK_RESOURCE_DIR}/sysex.xml)

# The image files, from the one image table.
file(STRINGS ${CMAKE_SOURCE_DIR}/config/ImageTable.def _rows REGEX "^VELK_IMAGE\\(")
set(VELK_SKIN_IMAGES)
foreach(_row ${_rows})
  string(REGEX MATCH "\"([^\"]+)\"" _ ${_row})
  list(APPEND VELK_SKIN_IMAGES ${CMAKE_BINARY_DIR}/${CMAKE_MATCH_1})
endforeach()
list(LENGTH VELK_SKIN_IMAGES _count)
if(NOT _count EQUAL 112)
  message(FATAL_ERROR "config/ImageTable.def: expected 112 images, found ${_count}")
endif()

# ---- documents: written by docgen from the authored sources in resources/src ----
file(GLOB VELK_DOCUMENT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/src/*.tsv ${CMAKE_SOURCE_DIR}/resources/src/*.txt)
add_custom_command(OUTPUT ${VELK_UI_DOCUMENT} ${VELK_SYSEX_DOCUMENT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELK_RESOURCE_DIR}
  COMMAND velk_docgen ${CMAKE_SOURCE_DIR}/resources/src ${VELK_RESOURCE_DIR}
  DEPENDS velk_docgen ${VELK_DOCUMENT_SOURCES} ${CMAKE_SOURCE_DIR}/framework/plugin/ParameterNames.def
    ${CMAKE_SOURCE_DIR}/config/ImageTable.def
  COMMENT "Definition documents from resources/src")
add_custom_target(velk_documents DEPENDS ${VELK_UI_DOCUMENT} ${VELK_SYSEX_DOCUMENT})
# ---- end of documents ----

# ---- images: drawn by tools/skingen from resources/src/skin ----
file(GLOB _skin_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/src/skin/*)
add_custom_command(OUTPUT ${VELK_SKIN_IMAGES}
  COMMAND skingen ${CMAKE_SOURCE_DIR}/resources/src/skin ${CMAKE_BINARY_DIR}
  DEPENDS skingen ${_skin_sources} ${CMAKE_SOURCE_DIR}/config/ImageTable.def
    ${CMAKE_SOURCE_DIR}/resources/src/bindings.tsv ${CMAKE_SOURCE_DIR}/resources/src/layout.txt
  COMMENT "Drawing the skin images")
add_custom_target(velk_skin_images DEPENDS ${VELK_SKIN_IMAGES})
# ---- end of images ----

foreach(_doc uiconfig sysex)
  add_custom_command(OUTPUT ${VELK_RESOURCE_DIR}/${_doc}.tea
    COMMAND velk_rescipher encipher ${VELK_RESOURCE_DIR}/${_doc}.xml ${VELK_RESOURCE_DIR}/${_doc}.tea
    DEPENDS velk_rescipher velk_documents ${VELK_RESOURCE_DIR}/${_doc}.xml
    COMMENT "Enciphering ${_doc}.xml")
endforeach()

set(VELK_RESOURCE_TABLE ${CMAKE_BINARY_DIR}/generated/EmbeddedResourceTable.cpp)
add_custom_command(OUTPUT ${VELK_RESOURCE_TABLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND velk_resembed ${VELK_RESOURCE_TABLE} ${CMAKE_BINARY_DIR}
    ${VELK_RESOURCE_DIR}/uiconfig.tea ${VELK_RESOURCE_DIR}/sysex.tea
  DEPENDS velk_resembed velk_skin_images ${VELK_RESOURCE_DIR}/uiconfig.tea ${VELK_RESOURCE_DIR}/sysex.tea
    ${VELK_SKIN_IMAGES} ${CMAKE_SOURCE_DIR}/config/ImageTable.def
  COMMENT "Resource table")
# The assembler pulls the bytes in: the object must be rebuilt when any of them changes.
set_source_files_properties(${VELK_RESOURCE_TABLE} PROPERTIES GENERATED TRUE
  OBJECT_DEPENDS "${VELK_RESOURCE_DIR}/uiconfig.tea;${VELK_RESOURCE_DIR}/sysex.tea;${VELK_SKIN_IMAGES}")
add_custom_target(velk_resources DEPENDS ${VELK_RESOURCE_TABLE})
target_sources(velk_platform_resources PRIVATE ${VELK_RESOURCE_TABLE})
add_dependencies(velk_platform_resources velk_resources)
