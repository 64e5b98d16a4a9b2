# The real-world corpus, made once per build tree by make_corpus.sh (again when the script changes) into
# ${ZORVA_CORPUS_DIR}; both the native tests and the scenario scripts under Wine play it.
set(ZORVA_CORPUS_DIR ${PROJECT_BINARY_DIR}/corpus)
set(zorva_corpus_script ${CMAKE_CURRENT_LIST_DIR}/make_corpus.sh)
if(NOT EXISTS ${ZORVA_CORPUS_DIR}/made OR ${zorva_corpus_script} IS_NEWER_THAN ${ZORVA_CORPUS_DIR}/made)
  file(REMOVE_RECURSE ${ZORVA_CORPUS_DIR})
  execute_process(COMMAND sh ${zorva_corpus_script} ${ZORVA_CORPUS_DIR} COMMAND_ERROR_IS_FATAL ANY)
  file(TOUCH ${ZORVA_CORPUS_DIR}/made)
endif()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${zorva_corpus_script})
