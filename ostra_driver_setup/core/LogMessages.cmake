# The installer's log texts: UTF-8 in core/LogMessages.txt, GBK bytes in the
# header generated from it. Used by the installer's own build and by the fuzz
# project, which builds the same core code with clang.
#
#   ostra_generate_log_messages(<folder>)  adds the command that writes
#   <folder>/LogMessages.h; a target lists that file among its sources.
function(ostra_generate_log_messages folder)
  set(_core ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  add_custom_command(
    OUTPUT ${folder}/LogMessages.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND Python3::Interpreter ${_core}/gen_log_messages.py ${_core}/LogMessages.txt ${folder}/LogMessages.h
    DEPENDS ${_core}/gen_log_messages.py ${_core}/LogMessages.txt
    COMMENT "Generating the GBK log messages"
    VERBATIM)
endfunction()
