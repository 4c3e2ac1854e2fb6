# The Windows build's libraries. Debian has no mingw packages of most of them, so
# scripts/build-windows-deps.sh builds them from Debian's source packages into
# VANTELLE_WINDOWS_DEPS (static libraries) and copies the header-only ones beside them.
# The small package files in packages/ make the usual find_package calls find them.
set(VANTELLE_WINDOWS_DEPS "" CACHE PATH "Prefix of the Windows libraries (scripts/build-windows-deps.sh)")
if(NOT VANTELLE_WINDOWS_DEPS OR NOT EXISTS "${VANTELLE_WINDOWS_DEPS}/include/tiny_gltf.h")
  message(FATAL_ERROR "Set VANTELLE_WINDOWS_DEPS to the prefix scripts/build-windows-deps.sh filled")
endif()
list(PREPEND CMAKE_PREFIX_PATH ${VANTELLE_WINDOWS_DEPS})
foreach(package nlohmann_json CLI11 TinyGLTF)
  set(${package}_DIR ${CMAKE_CURRENT_LIST_DIR}/packages)
endforeach()

# Programs and DLLs side by side: Windows finds a program's DLLs in its own folder.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# libtiff was built with Deflate from Debian's mingw zlib.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
find_package(TIFF REQUIRED)
set_property(TARGET TIFF::TIFF APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)

# Text: FreeType, HarfBuzz and GLU's tessellator, static.
find_library(VANTELLE_FREETYPE_LIBRARY freetype REQUIRED)
find_library(VANTELLE_HARFBUZZ_LIBRARY harfbuzz REQUIRED)
find_library(VANTELLE_GLU_TESS_LIBRARY glu_tess REQUIRED)
find_path(VANTELLE_FREETYPE_INCLUDE ft2build.h PATH_SUFFIXES freetype2 REQUIRED)
find_path(VANTELLE_HARFBUZZ_INCLUDE hb.h PATH_SUFFIXES harfbuzz REQUIRED)
add_library(vantelle::text_libs INTERFACE IMPORTED)
target_include_directories(vantelle::text_libs INTERFACE
  ${VANTELLE_FREETYPE_INCLUDE} ${VANTELLE_HARFBUZZ_INCLUDE} ${VANTELLE_WINDOWS_DEPS}/include)
# GLU's header declares its functions as imported from a DLL unless it is building GLU
# itself; here the tessellator is linked statically, so its users say the latter.
target_compile_definitions(vantelle::text_libs INTERFACE BUILD_GLU32)
target_link_libraries(vantelle::text_libs INTERFACE
  ${VANTELLE_HARFBUZZ_LIBRARY} ${VANTELLE_FREETYPE_LIBRARY} ${VANTELLE_GLU_TESS_LIBRARY} ZLIB::ZLIB opengl32)
