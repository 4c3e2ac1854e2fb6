# CLI11, header-only, copied from the Linux package.
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 INTERFACE ${VANTELLE_WINDOWS_DEPS}/include)
endif()
