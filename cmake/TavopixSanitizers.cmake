# TAVOPIX_SANITIZE=address,undefined or thread instruments everything built here, dependencies
# in this tree included; errors halt the run.
if(TAVOPIX_SANITIZE)
  add_compile_options(-fsanitize=${TAVOPIX_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${TAVOPIX_SANITIZE})
  if(TAVOPIX_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  # GCC warns that the thread sanitizer does not model std::atomic_thread_fence, which Asio
  # uses; the fences it guards are also ordered by the mutexes the sanitizer does see.
  if(TAVOPIX_SANITIZE MATCHES "thread" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-tsan)
  endif()
endif()
