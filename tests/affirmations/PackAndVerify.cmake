# Runs qwpack on the repository texts, checks the file with --verify, and checks that --verify
# refuses a damaged copy with a message and a non-zero exit code.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

execute_process(COMMAND ${QWPACK} --texts ${TEXTS} --out ${WORK}/data.qw RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "qwpack failed: ${packed}")
endif()

execute_process(COMMAND ${QWPACK} --verify ${WORK}/data.qw RESULT_VARIABLE verified OUTPUT_VARIABLE said)
if(NOT verified EQUAL 0 OR NOT said MATCHES "12 affirmations")
  message(FATAL_ERROR "qwpack --verify refused its own file: ${verified} ${said}")
endif()

file(WRITE ${WORK}/damaged/data.qw "this is not enciphered audio")
execute_process(COMMAND ${QWPACK} --verify ${WORK}/damaged/data.qw RESULT_VARIABLE refused OUTPUT_VARIABLE said)
if(refused EQUAL 0 OR NOT said STREQUAL "Failed to load decrypted data into sf::SoundBuffer\n")
  message(FATAL_ERROR "qwpack --verify took a damaged file: ${refused} ${said}")
endif()

execute_process(COMMAND ${QWPACK} --verify ${WORK}/missing/data.qw RESULT_VARIABLE refused OUTPUT_VARIABLE said)
if(refused EQUAL 0 OR NOT said STREQUAL "Failed to find data.qw\n")
  message(FATAL_ERROR "qwpack --verify took a missing file: ${refused} ${said}")
endif()
file(REMOVE_RECURSE ${WORK})
