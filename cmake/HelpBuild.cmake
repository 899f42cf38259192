# Compiles the help: checks the sources, stages them with the contents, index and project in
# the code page of the help's language, runs chmcmd and puts Tolvan.chm and the plain pages
# beside the program.
#   cmake -DHELP_SOURCE=... -DHELP_STAGE=... -DHELP_OUTPUT=<folder> -DCHMCMD=... -P HelpBuild.cmake

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/HelpCheck.cmake)
tolvan_help_check(${HELP_SOURCE})

file(REMOVE_RECURSE ${HELP_STAGE})
file(MAKE_DIRECTORY ${HELP_STAGE})
file(COPY ${HELP_SOURCE}/ DESTINATION ${HELP_STAGE})
# CHM viewers read the contents, the index and the titles in the language's code page
# (Japanese: CP932); the pages themselves declare UTF-8.
foreach(f Tolvan.hhp Tolvan.hhc Tolvan.hhk)
    execute_process(COMMAND iconv -f UTF-8 -t CP932 ${HELP_SOURCE}/${f}
                    OUTPUT_FILE ${HELP_STAGE}/${f} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "help: ${f} cannot be converted to CP932")
    endif()
endforeach()

execute_process(COMMAND ${CHMCMD} --no-html-scan --verbosity 1 Tolvan.hhp
                WORKING_DIRECTORY ${HELP_STAGE} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS ${HELP_STAGE}/Tolvan.chm)
    message(FATAL_ERROR "help: chmcmd failed (${rc}):\n${out}")
endif()

file(COPY ${HELP_STAGE}/Tolvan.chm DESTINATION ${HELP_OUTPUT})
file(REMOVE_RECURSE ${HELP_OUTPUT}/help)
file(COPY ${HELP_SOURCE}/ DESTINATION ${HELP_OUTPUT}/help FILES_MATCHING PATTERN "*.html" PATTERN "*.css" PATTERN "*.png")
