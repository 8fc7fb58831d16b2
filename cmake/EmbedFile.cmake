# Turns a binary file into a C++ source that defines
#   extern const unsigned char SYMBOL[];  extern const unsigned long SYMBOLSize;
# so a program can carry the file (the kaito command carries its default stub).
#
# Script mode: cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedFile.cmake
# (INPUT empty: an empty array of size 0).  Include mode: kaito_embed_file().

if(CMAKE_SCRIPT_MODE_FILE)
  set(size 0)
  set(bytes "0")
  if(INPUT)
    file(READ "${INPUT}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    if(size GREATER 0)
      string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
      string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
    endif()
  endif()
  file(WRITE "${OUTPUT}.tmp"
    "// Generated from ${INPUT} by EmbedFile.cmake; do not edit.\n"
    "extern const unsigned char ${SYMBOL}[];\n"
    "extern const unsigned long ${SYMBOL}Size;\n"
    "const unsigned char ${SYMBOL}[] = {\n${bytes}};\n"
    "const unsigned long ${SYMBOL}Size = ${size}ul;\n")
  file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUTPUT}.tmp")
  return()
endif()

set(KAITO_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

# kaito_embed_file(OUTPUT out.cpp SYMBOL name [INPUT file] [DEPENDS targets-or-files...])
function(kaito_embed_file)
  cmake_parse_arguments(arg "" "OUTPUT;SYMBOL;INPUT" "DEPENDS" ${ARGN})
  add_custom_command(OUTPUT "${arg_OUTPUT}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${arg_INPUT}" "-DOUTPUT=${arg_OUTPUT}" "-DSYMBOL=${arg_SYMBOL}"
            -P "${KAITO_EMBED_SCRIPT}"
    DEPENDS "${KAITO_EMBED_SCRIPT}" ${arg_DEPENDS}
    COMMENT "Embedding ${arg_INPUT}"
    VERBATIM)
endfunction()
