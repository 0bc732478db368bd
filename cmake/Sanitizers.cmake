# VEMBA_SANITIZE takes a list such as "address;undefined" or "thread" and
# instruments every target of the build with it.
set(VEMBA_SANITIZE "" CACHE STRING "Sanitizers to build with (address, undefined, thread)")

if(VEMBA_SANITIZE)
    list(JOIN VEMBA_SANITIZE "," _vemba_sanitizers)
    add_compile_options(-fsanitize=${_vemba_sanitizers} -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${_vemba_sanitizers})
    if("undefined" IN_LIST VEMBA_SANITIZE)
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()
