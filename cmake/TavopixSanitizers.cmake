# TAVOPIX_SANITIZE=address,undefined or thread instruments everything built here, dependencies
# in this tree included; errors halt the run.
if(TAVOPIX_SANITIZE)
  add_compile_options(-fsanitize=${TAVOPIX_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${TAVOPIX_SANITIZE})
  if(TAVOPIX_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
