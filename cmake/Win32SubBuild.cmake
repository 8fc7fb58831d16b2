# Builds the Win32 half in build/win32 with the MinGW toolchain, putting its
# products beside the native ones, and makes the top-level CTest run its tests.
include(ExternalProject)
set(KAITO_WIN32_BINARY_DIR "${CMAKE_BINARY_DIR}/win32")
set(KAITO_STUB_EXE "${KAITO_BIN_DIR}/kaito-stub.exe")
ExternalProject_Add(kaito_win32
  SOURCE_DIR "${CMAKE_SOURCE_DIR}"
  BINARY_DIR "${KAITO_WIN32_BINARY_DIR}"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DKAITO_BIN_DIR=${KAITO_BIN_DIR}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS "${KAITO_STUB_EXE}"
  USES_TERMINAL_BUILD ON)
file(WRITE "${CMAKE_BINARY_DIR}/win32-tests.cmake"
  "if(EXISTS \"${KAITO_WIN32_BINARY_DIR}/CTestTestfile.cmake\")\n  subdirs(\"${KAITO_WIN32_BINARY_DIR}\")\nendif()\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_BINARY_DIR}/win32-tests.cmake")
