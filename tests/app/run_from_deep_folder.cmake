# Copies a test program and its helpers into a folder about 470 characters
# deep and runs one test there; a skipped test counts as a failure.
string(REPEAT "d" 150 part)
set(deep "${DEEP_ROOT}/${part}/${part}/${part}")
file(REMOVE_RECURSE "${DEEP_ROOT}")
file(MAKE_DIRECTORY "${deep}")
string(REPLACE "|" ";" helpers "${HELPERS}")
file(COPY "${PROGRAM}" ${helpers} DESTINATION "${deep}")
get_filename_component(name "${PROGRAM}" NAME)
execute_process(COMMAND "${WINE_RUN}" "${deep}/${name}" "--gtest_filter=${FILTER}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
file(REMOVE_RECURSE "${DEEP_ROOT}")
if(NOT result EQUAL 0 OR output MATCHES "SKIPPED" OR NOT output MATCHES "PASSED  \\] 1 test")
  message(FATAL_ERROR "the deep-folder run did not pass (exit ${result})")
endif()
