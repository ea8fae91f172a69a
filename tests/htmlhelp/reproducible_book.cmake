# Builds one book twice, in folders of different names and a second apart,
# and fails unless the two files are identical.
file(REMOVE_RECURSE ${WORK_DIR})
foreach(dir a long/second/folder)
  execute_process(COMMAND ${CMAKE_COMMAND} -DCHMCMD=${CHMCMD} -DCANONICALIZE=${CANONICALIZE}
                          -DSOURCE_DIR=${SOURCE_DIR} -DPROJECT=${PROJECT}
                          -DOUTPUT=${WORK_DIR}/${dir}/book.chm -DWORK_DIR=${WORK_DIR}/${dir}/work
                          -P ${BUILD_SCRIPT}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the book in ${dir} failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/a/book.chm
                        ${WORK_DIR}/long/second/folder/book.chm RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "two builds of the same book differ")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
