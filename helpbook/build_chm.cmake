# Compiles one help project into a .chm with chmcmd, reproducibly.
#
#   cmake -DCHMCMD=... -DCANONICALIZE=... -DSOURCE_DIR=... -DPROJECT=Book.hhp
#         -DOUTPUT=.../Book.chm -DWORK_DIR=... -P build_chm.cmake
#
# chmcmd stores [ALIAS] targets as absolute paths of the folder it ran in, so
# it runs in a chroot whose root is a copy of the book's sources: the stored
# target of "topic.htm" is then "/topic.htm", the object's own name, and no
# path of the building machine lands in the book. The chroot needs chmcmd's
# loader and libraries (and libpthread/libdl, which its runtime opens later).
# Without user namespaces or root the chroot fails; the book is then built in
# place with a warning (the viewer still resolves such paths, but the book is
# not reproducible across build folders).
# Afterwards chm_canonicalize zeroes the build timestamps.

foreach(var CHMCMD CANONICALIZE SOURCE_DIR PROJECT OUTPUT WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_chm.cmake: ${var} not set")
  endif()
endforeach()

set(root ${WORK_DIR}/root)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${root})
file(GLOB sources LIST_DIRECTORIES false ${SOURCE_DIR}/*)
file(COPY ${sources} DESTINATION ${root})
get_filename_component(compiled_name ${OUTPUT} NAME)

# The compiled file's name comes from the project; make it the output's name.
file(READ ${root}/${PROJECT} project_text)
string(REGEX REPLACE "Compiled file=[^\r\n]*" "Compiled file=${compiled_name}" project_text "${project_text}")
file(WRITE ${root}/${PROJECT} "${project_text}")

# Stage chmcmd with what the dynamic loader needs.
get_filename_component(chmcmd_real ${CHMCMD} REALPATH)
file(COPY ${chmcmd_real} DESTINATION ${root}/.chmcmd)
get_filename_component(chmcmd_file ${chmcmd_real} NAME)
execute_process(COMMAND ldd ${chmcmd_real} OUTPUT_VARIABLE ldd_out RESULT_VARIABLE ldd_rc)
string(REGEX MATCHALL "(/[^ \t\n()]+)" libs "${ldd_out}")
set(extra)
foreach(lib ${libs})
  if(lib MATCHES "/libc\\.so")
    get_filename_component(libdir ${lib} DIRECTORY)
    foreach(late libpthread.so.0 libdl.so.2)
      if(EXISTS ${libdir}/${late})
        list(APPEND extra ${libdir}/${late})
      endif()
    endforeach()
  endif()
endforeach()
foreach(lib ${libs} ${extra})
  if(EXISTS ${lib})
    get_filename_component(dir ${lib} DIRECTORY)
    get_filename_component(real ${lib} REALPATH)
    get_filename_component(name ${lib} NAME)
    file(MAKE_DIRECTORY ${root}${dir})
    file(COPY_FILE ${real} ${root}${dir}/${name})
  endif()
endforeach()

set(runners "unshare;-r;chroot" "chroot")
set(built FALSE)
foreach(runner IN LISTS runners)
  string(REPLACE ";" " " runner_text "${runner}")
  execute_process(COMMAND ${runner} ${root} /.chmcmd/${chmcmd_file} --no-html-scan /${PROJECT}
                  WORKING_DIRECTORY ${root} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 AND EXISTS ${root}/${compiled_name})
    set(built TRUE)
    break()
  endif()
endforeach()
if(NOT built)
  message(WARNING "chmcmd could not run in a chroot (${rc}); building ${compiled_name} in place: "
                  "its context targets will hold build-machine paths")
  execute_process(COMMAND ${CHMCMD} --no-html-scan ${PROJECT}
                  WORKING_DIRECTORY ${root} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${root}/${compiled_name})
    message(FATAL_ERROR "chmcmd failed on ${PROJECT} (${rc}):\n${out}\n${err}")
  endif()
endif()

execute_process(COMMAND ${CANONICALIZE} ${root}/${compiled_name} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "chm_canonicalize failed on ${compiled_name}")
endif()
file(COPY_FILE ${root}/${compiled_name} ${OUTPUT})
file(REMOVE_RECURSE ${WORK_DIR})
