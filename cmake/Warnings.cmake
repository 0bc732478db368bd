# Strict warnings for the project's own targets only; third-party headers
# come in as system includes and are not held to them.
function(vemba_strict target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
