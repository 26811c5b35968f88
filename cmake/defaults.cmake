# Compiler settings shared by every target of the project.

option(TARVIX_WERROR "Treat warnings as errors" OFF)
set(TARVIX_SANITIZE "" CACHE STRING "Sanitizers for the whole build: address,undefined or thread")

if(TARVIX_SANITIZE)
  add_compile_options(-fsanitize=${TARVIX_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${TARVIX_SANITIZE})
  if(TARVIX_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

function(tarvix_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(TARVIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
