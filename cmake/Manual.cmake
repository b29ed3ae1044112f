# kalmet_manual(PAGE SOURCE): the manual page SOURCE (a .in file with
# @PROJECT_VERSION@), configured, compressed, built with everything and
# installed as PAGE.1.gz.
function(kalmet_manual page source)
  set(text ${CMAKE_CURRENT_BINARY_DIR}/${page}.1)
  configure_file(${source} ${text} @ONLY)
  add_custom_command(OUTPUT ${text}.gz
    COMMAND gzip -9nc ${text} > ${text}.gz
    DEPENDS ${text} VERBATIM)
  add_custom_target(${page}-manual ALL DEPENDS ${text}.gz)
  install(FILES ${text}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
