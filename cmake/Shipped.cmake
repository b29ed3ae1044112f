# A Windows program that a technician copies to a laptop: its debugging
# information (most of its size) goes into PROGRAM.exe.debug beside it in the
# build folder, which gdb finds by the link the program keeps; the program
# itself carries none.
function(kalmet_shipped_program target)
  if(NOT WIN32)
    return()  # the Debian package strips its programs itself
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}>
                                               $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${CMAKE_STRIP} --strip-debug --strip-unneeded $<TARGET_FILE_NAME:${target}>
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
                             $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
