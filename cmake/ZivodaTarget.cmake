# One place that gives every target of ours the same warnings and sanitizer flags.
set(ZIVODA_SANITIZER_FLAGS "")
if(ZIVODA_SANITIZE)
  set(ZIVODA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
if(ZIVODA_FUZZ)
  list(APPEND ZIVODA_SANITIZER_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
endif()

function(zivoda_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror ${ZIVODA_SANITIZER_FLAGS})
  target_link_options(${target} PRIVATE ${ZIVODA_SANITIZER_FLAGS})
endfunction()
