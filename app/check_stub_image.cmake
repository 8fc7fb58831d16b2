# Protects what every self-extracting file carries: the stub stays within
# 24 KiB on disk and imports from system DLLs only, so it starts on a clean
# Windows with nothing installed beside it.
#   cmake -DSTUB=kaito-stub.exe -DOBJDUMP=i686-w64-mingw32-objdump -P check_stub_image.cmake
cmake_policy(VERSION 3.20)
set(max_bytes 24576)
set(system_dlls kernel32.dll user32.dll shell32.dll comctl32.dll msvcrt.dll gdi32.dll advapi32.dll)

execute_process(COMMAND "${OBJDUMP}" -p "${STUB}" OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${STUB}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${headers}")
if(NOT names)
  message(FATAL_ERROR "no import table found in ${STUB}")
endif()
foreach(line IN LISTS names)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  message(STATUS "imports ${dll}")
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "the stub imports ${dll}, not one of the system DLLs it may use")
  endif()
endforeach()

file(SIZE "${STUB}" stub_bytes)
message(STATUS "${STUB}: ${stub_bytes} bytes (at most ${max_bytes})")
if(stub_bytes GREATER max_bytes)
  message(FATAL_ERROR "the stub has grown to ${stub_bytes} bytes, more than ${max_bytes}")
endif()
