# Compiler settings shared by every target of the project.

option(QUORVIK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

# Warnings apply to the project's own code only; third-party headers come in as
# system includes and stay quiet.
add_library(quorvik_warnings INTERFACE)
target_compile_options(quorvik_warnings INTERFACE -Wall -Wextra)
option(QUORVIK_WERROR "Treat warnings in the project's own code as errors" ON)
if(QUORVIK_WERROR)
  target_compile_options(quorvik_warnings INTERFACE -Werror)
endif()

if(QUORVIK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Crash reports name functions, files and lines; keep debug info even in
# optimised builds.
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# A fault in an event handler (a null pointer, a division by zero) becomes a
# C++ exception thrown from the crash reporter's signal handler; every frame
# between the fault and the class library's dispatch point must be able to
# unwind from any instruction.
add_compile_options(-fnon-call-exceptions)
