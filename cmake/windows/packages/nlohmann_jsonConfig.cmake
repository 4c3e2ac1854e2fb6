# nlohmann's JSON, header-only, copied from the Linux package.
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${VANTELLE_WINDOWS_DEPS}/include)
endif()
