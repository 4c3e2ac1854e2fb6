# The module's code lives in main/ plot/ mesh/ grid/ cage/ labels/. It is compiled once
# into a static library that both the loadable module and the tests link, so the tests
# exercise exactly the code the module ships.
add_library(vantelle_module STATIC
  plot/formula_preparation.cpp
  plot/samples.cpp
  plot/surfo_object.cpp
  plot/surfo_parameters.cpp
)
target_include_directories(vantelle_module PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vantelle_module PUBLIC vantelle_host)
set_target_properties(vantelle_module PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
vantelle_warnings(vantelle_module)
