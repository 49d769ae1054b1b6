# The Windows flavour's libraries: the system's OpenGL and GLU, and libxmp as the static
# library that build-windows.sh cross-builds from Debian's source package.
set(TOLVMARKA_XMP_DIR "" CACHE PATH "Install prefix of the cross-built static libxmp")
if(NOT EXISTS ${TOLVMARKA_XMP_DIR}/include/xmp.h OR NOT EXISTS ${TOLVMARKA_XMP_DIR}/lib/libxmp.a)
    message(FATAL_ERROR "TOLVMARKA_XMP_DIR must hold include/xmp.h and lib/libxmp.a "
                        "(build-windows.sh makes them)")
endif()
add_library(tolvmarka_xmp INTERFACE)
target_include_directories(tolvmarka_xmp INTERFACE ${TOLVMARKA_XMP_DIR}/include)
target_compile_definitions(tolvmarka_xmp INTERFACE BUILDING_STATIC)
target_link_libraries(tolvmarka_xmp INTERFACE ${TOLVMARKA_XMP_DIR}/lib/libxmp.a)

add_library(tolvmarka_gl INTERFACE)
target_link_libraries(tolvmarka_gl INTERFACE glu32 opengl32)
# The system's gl.h pulls in all of windows.h unless WINGDIAPI and APIENTRY are defined, and windows.h
# defines macros that the show's own headers use as names. The values are the ones windows.h
# gives them, token for token, so that files which do include it see no redefinition.
add_compile_definitions(APIENTRY=WINAPI WINAPI=__stdcall CALLBACK=__stdcall WINGDIAPI=DECLSPEC_IMPORT
                        "DECLSPEC_IMPORT=__declspec (dllimport)")
