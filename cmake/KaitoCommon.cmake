# Warnings, product placement and test registration shared by both halves.

function(kaito_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
endfunction()

# Native builds on x86-64 hosts add a build of the decoder's token loop for
# CPUs with LZCNT and BMI2 (chosen at run time); the benchmark uses the same.
if(NOT CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(KAITO_LZCNT_BUILD ON)
else()
  set(KAITO_LZCNT_BUILD OFF)
endif()

# A product goes to KAITO_BIN_DIR; everything else stays in its build folder.
function(kaito_product target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${KAITO_BIN_DIR}")
endfunction()

# Portable code that both halves compile.
function(kaito_portable_library name)
  add_library(${name} STATIC ${ARGN})
  kaito_warnings(${name})
  target_include_directories(${name} PUBLIC "${KAITO_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/generated")
  if(KAITO_SANITIZE)
    target_compile_options(${name} PUBLIC -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${name} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

set(KAITO_GTEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
macro(kaito_use_gtest)
  if(NOT TARGET gtest_main)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory("${KAITO_GTEST_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
  endif()
endmacro()

# One GoogleTest program. Natively each TEST becomes a CTest test; under Wine
# the whole program is one CTest test, since every Wine start costs time.
function(kaito_gtest name)
  cmake_parse_arguments(arg "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  kaito_use_gtest()
  add_executable(${name} ${arg_SOURCES})
  kaito_warnings(${name})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} gtest_main)
  target_include_directories(${name} PRIVATE "${KAITO_SOURCE_DIR}" "${KAITO_SOURCE_DIR}/tests/support")
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  if(CMAKE_CROSSCOMPILING)
    target_link_options(${name} PRIVATE -static)
    add_test(NAME win32.${name} COMMAND ${name})
    set_tests_properties(win32.${name} PROPERTIES TIMEOUT ${arg_TIMEOUT} LABELS "win32;${arg_LABELS}")
    # Window probes find windows by control id in any process: tests that
    # show windows take turns on the one Wine desktop.
    if("gui" IN_LIST arg_LABELS)
      set_tests_properties(win32.${name} PROPERTIES RESOURCE_LOCK wine-desktop)
    endif()
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} TEST_PREFIX "${name}." PROPERTIES TIMEOUT ${arg_TIMEOUT} LABELS "native;${arg_LABELS}")
  endif()
endfunction()

# Code that goes into the stub: small, no exceptions, no RTTI, no unwind
# tables, so it needs no C++ runtime DLL.  Functions get sections of their own
# so the link drops the unused ones; data does not: for PE targets the
# compiler gives zero-filled variables in sections of their own file space
# (.data$name) where one .bss costs none.
function(kaito_stub_code target)
  target_compile_options(${target} PRIVATE -Os -malign-data=abi -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -fno-unwind-tables -ffunction-sections -fno-ident)
  # No stack probes, which cost the stub about 1 KiB of code (they also make
  # every call keep a block of outgoing arguments).  A probe is needed only
  # by a frame that could step over the stack's guard page, so every frame
  # must stay well under a page: a larger one, or a variable-length array,
  # stops the build.
  target_compile_options(${target} PRIVATE -mno-stack-arg-probe
    -Werror=frame-larger-than=2048 -Werror=vla)
  # Windows keeps the stack 4-byte aligned and nothing here needs more, so
  # calls need no padding to 16 bytes; and no frame pointer: EBP is one
  # more register.  Together about 8 % less code.
  target_compile_options(${target} PRIVATE -mpreferred-stack-boundary=2 -fomit-frame-pointer)
endfunction()

# kaito_win32_helper(name [GUI] SOURCES ... [LIBS ...]): a small Win32 program
# that the tests run under Wine (a probe, a stand-in, a recorder): warnings
# on, the source tree on the include path, linked statically so that it needs
# no MinGW runtime DLL beside it.
function(kaito_win32_helper name)
  cmake_parse_arguments(arg "GUI" "" "SOURCES;LIBS" ${ARGN})
  set(kind "")
  if(arg_GUI)
    set(kind WIN32)
  endif()
  add_executable(${name} ${kind} ${arg_SOURCES})
  kaito_warnings(${name})
  target_include_directories(${name} PRIVATE "${KAITO_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${arg_LIBS})
  target_link_options(${name} PRIVATE -static)
endfunction()
