# quorvik_embed_resources(<target> RESOURCES <name> <file> [<name> <file>...])
#
# Turns files into named resources linked into <target>: a generated source
# holds their bytes and registers them with the class library's resource table
# when the program starts, so the program finds them by name with
# classlib::FindResource() and no file is read at run time. <target> should be
# an executable or an OBJECT library, so that the linker keeps the registration.
function(quorvik_embed_resources target)
  cmake_parse_arguments(ARG "" "" "RESOURCES" ${ARGN})
  list(LENGTH ARG_RESOURCES count)
  math(EXPR odd "${count} % 2")
  if(count EQUAL 0 OR odd)
    message(FATAL_ERROR "quorvik_embed_resources: RESOURCES takes pairs of name and file")
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  set(files)
  set(args)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET ARG_RESOURCES ${i} name)
    list(GET ARG_RESOURCES ${j} file)
    get_filename_component(file ${file} ABSOLUTE)
    list(APPEND files ${file})
    list(APPEND args "${name}=${file}")
  endforeach()
  string(REPLACE ";" "|" joined "${args}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DENTRIES=${joined}"
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
