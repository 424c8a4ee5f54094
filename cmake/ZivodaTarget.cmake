# One place that gives every target of ours the same warnings and sanitizer flags.
set(ZIVODA_SANITIZER_FLAGS "")
if(ZIVODA_SANITIZE)
  set(ZIVODA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
if(ZIVODA_FUZZ)
  list(APPEND ZIVODA_SANITIZER_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
endif()
# clang puts its sanitizer runtimes into executables only: our shared objects
# (linked with --no-undefined) leave those symbols to the executable that loads them.
set(ZIVODA_SANITIZER_LINK_FLAGS "")
if(ZIVODA_SANITIZER_FLAGS AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(ZIVODA_SANITIZER_LINK_FLAGS -Wl,-z,undefs)
endif()

function(zivoda_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror ${ZIVODA_SANITIZER_FLAGS})
  target_link_options(${target} PRIVATE ${ZIVODA_SANITIZER_FLAGS} ${ZIVODA_SANITIZER_LINK_FLAGS})
endfunction()
