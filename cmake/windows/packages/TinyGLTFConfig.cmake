# tinygltf: Debian's Linux package is a shared library; for Windows its header is
# compiled here, with the same JSON library and without the image code the export does
# not use.
if(NOT TARGET TinyGLTF::TinyGLTF)
  add_library(vantelle_tinygltf STATIC ${CMAKE_CURRENT_LIST_DIR}/tinygltf.cpp)
  target_include_directories(vantelle_tinygltf SYSTEM PUBLIC ${VANTELLE_WINDOWS_DEPS}/include)
  target_compile_definitions(vantelle_tinygltf PUBLIC TINYGLTF_NO_STB_IMAGE TINYGLTF_NO_STB_IMAGE_WRITE
    TINYGLTF_NO_EXTERNAL_IMAGE)
  add_library(TinyGLTF::TinyGLTF ALIAS vantelle_tinygltf)
endif()
