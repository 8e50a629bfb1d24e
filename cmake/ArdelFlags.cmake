option(ARDEL_WERROR "Treat warnings as errors" ON)
# One interface target carries the language level, the warnings and the strict
# Qt defines; every target of the project links it.
add_library(ardel_flags INTERFACE)
target_compile_features(ardel_flags INTERFACE cxx_std_20)
target_compile_options(ardel_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow=local -Wno-missing-field-initializers
  $<$<BOOL:${ARDEL_WERROR}>:-Werror>)
target_compile_definitions(ardel_flags INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_DISABLE_DEPRECATED_BEFORE=0x060400)
target_include_directories(ardel_flags INTERFACE ${PROJECT_SOURCE_DIR})
if(ARDEL_SANITIZE)
  target_compile_options(ardel_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(ardel_flags INTERFACE -fsanitize=address,undefined)
endif()

# A layer library whose sources are not written yet still has to exist for its
# dependents to link; an empty generated unit stands in until then.
file(WRITE ${CMAKE_BINARY_DIR}/ardel_empty_layer.cpp "// intentionally empty\n")
function(ardel_add_layer name)
  set(srcs ${ARGN})
  list(FILTER srcs INCLUDE REGEX "\\.cpp$")
  if(NOT srcs)
    list(APPEND ARGN ${CMAKE_BINARY_DIR}/ardel_empty_layer.cpp)
  endif()
  add_library(${name} STATIC ${ARGN})
endfunction()
