# Writes the build record at build time, so that it names the revision actually built.
# Called by the build with: SOURCE_DIR, GIT_EXECUTABLE, INPUT, OUTPUT, QUILT_COMPILER and
# QUILT_BUILD_TYPE. The file is only rewritten when its text changes, so an unchanged revision
# recompiles nothing. A build outside a git checkout says "unknown".
set(QUILT_REVISION "unknown")
if(GIT_EXECUTABLE)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse HEAD
        WORKING_DIRECTORY ${SOURCE_DIR}
        OUTPUT_VARIABLE git_revision OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE git_result ERROR_QUIET)
    if(git_result EQUAL 0 AND git_revision)
        set(QUILT_REVISION ${git_revision})
    endif()
endif()
configure_file(${INPUT} ${OUTPUT} @ONLY)
