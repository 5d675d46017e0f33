# CPack pre-build script: the executables' .comment and .note sections (compiler versions, ABI notes
# nothing reads at run time) removed from the staged package, as Debian's dh_strip removes them.
file(GLOB_RECURSE executables "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(exe IN LISTS executables)
  execute_process(COMMAND objcopy --remove-section=.comment --remove-section=.note "${exe}"
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "objcopy failed on ${exe}")
  endif()
endforeach()
