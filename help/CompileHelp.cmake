# cmake -DCHMCMD=... -DPROJECT=<.hhp> -DWORK=<dir> -DOUTPUT=<.chm> -P CompileHelp.cmake
# Compiles the help project in WORK (chmcmd writes where it runs) and copies
# the result to OUTPUT. Any error or warning fails the build: chmcmd reports a
# broken link, anchor or missing file that way, yet exits with 0.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CHMCMD} ${PROJECT}
    WORKING_DIRECTORY ${WORK}
    OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
cmake_path(GET PROJECT STEM name)
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)(Error|Warning)" OR NOT EXISTS ${WORK}/${name}.chm)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "chmcmd failed to compile ${PROJECT}:\n${out}")
endif()
file(COPY_FILE ${WORK}/${name}.chm ${OUTPUT})
