# KALMET_SANITIZE=address,undefined or thread: instrument every target.
if(KALMET_SANITIZE)
  set(_kalmet_san_flags -fsanitize=${KALMET_SANITIZE} -fno-omit-frame-pointer)
  if(KALMET_SANITIZE MATCHES "undefined")
    list(APPEND _kalmet_san_flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_kalmet_san_flags})
  add_link_options(${_kalmet_san_flags})
endif()
