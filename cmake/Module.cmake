# The module's code lives in main/ plot/ mesh/ grid/ cage/ labels/. It is compiled once
# into a static library that both the loadable module and the tests link, so the tests
# exercise exactly the code the module ships.
add_library(vantelle_module STATIC
  cage/surfo_cage.cpp
  grid/surfo_grid.cpp
  labels/axis_labels.cpp
  labels/label_objects.cpp
  labels/legend.cpp
  labels/surfo_label.cpp
  mesh/mesh_builders.cpp
  mesh/surfo_mesh.cpp
  plot/commands.cpp
  plot/drawing.cpp
  plot/component_support.cpp
  plot/formula_preparation.cpp
  plot/parallel_rows.cpp
  plot/samples.cpp
  plot/sampling.cpp
  plot/surfo_object.cpp
  plot/surfo_parameters.cpp
)
target_include_directories(vantelle_module PUBLIC ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(vantelle_module PUBLIC vantelle_host Threads::Threads)
set_target_properties(vantelle_module PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
vantelle_warnings(vantelle_module)

# The loadable module, installed with its resources as <build>/plugins/Vantelle/.
set(VANTELLE_PLUGIN_DIR ${CMAKE_BINARY_DIR}/plugins/Vantelle)
if(WIN32)
  set(VANTELLE_MODULE_SUFFIX ".xdl64")
elseif(APPLE)
  set(VANTELLE_MODULE_SUFFIX ".xlib")
else()
  set(VANTELLE_MODULE_SUFFIX ".xso64")
endif()

add_library(Vantelle MODULE
  main/entry.cpp
  main/module_state.cpp
  main/registration.cpp
)
target_link_libraries(Vantelle PRIVATE vantelle_module)
set_target_properties(Vantelle PROPERTIES
  PREFIX ""
  SUFFIX ${VANTELLE_MODULE_SUFFIX}
  LIBRARY_OUTPUT_DIRECTORY ${VANTELLE_PLUGIN_DIR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
# Export the entry point and the SDK records only, and refuse to link with a symbol the
# host does not provide (except under sanitizers, whose runtime the executable brings).
# A Windows DLL must resolve every symbol at link time anyway.
if(WIN32)
  target_sources(Vantelle PRIVATE main/exports.def)
elseif(APPLE)
  # The host loads VantelleR2026.xlib; Apple's linker takes a list of the exported names.
  set_target_properties(Vantelle PROPERTIES OUTPUT_NAME VantelleR2026)
  target_link_options(Vantelle PRIVATE -Wl,-exported_symbols_list,${PROJECT_SOURCE_DIR}/main/exports.txt
    -Wl,-undefined,error)
else()
  target_link_options(Vantelle PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/main/exports.map)
  if(NOT VANTELLE_SANITIZE)
    target_link_options(Vantelle PRIVATE -Wl,--no-undefined)
  endif()
  set_property(TARGET Vantelle APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/main/exports.map)
endif()
vantelle_warnings(Vantelle)

set(VANTELLE_RESOURCES
  description/osurfo.json
  description/osurfocage.json
  description/osurfogrid.json
  description/osurfolabel.json
  description/osurfomesh.json
  strings.json
  Surfo.tif
)
set(copied_resources)
foreach(resource ${VANTELLE_RESOURCES})
  set(target_file ${VANTELLE_PLUGIN_DIR}/res/${resource})
  add_custom_command(
    OUTPUT ${target_file}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/res/${resource} ${target_file}
    DEPENDS ${PROJECT_SOURCE_DIR}/res/${resource}
    COMMENT "Installing res/${resource} into the module folder")
  list(APPEND copied_resources ${target_file})
endforeach()
# The manual sits in the module folder itself, where the plot's Manual button opens it.
add_custom_command(
  OUTPUT ${VANTELLE_PLUGIN_DIR}/Vantelle.pdf
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/docs/Vantelle.pdf ${VANTELLE_PLUGIN_DIR}/Vantelle.pdf
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/Vantelle.pdf
  COMMENT "Installing the manual into the module folder")
list(APPEND copied_resources ${VANTELLE_PLUGIN_DIR}/Vantelle.pdf)
add_custom_target(vantelle_resources ALL DEPENDS ${copied_resources})
add_dependencies(Vantelle vantelle_resources)
