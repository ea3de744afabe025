# Warnings are errors in our own code (not in GoogleTest or other imported code).
function(gv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wnon-virtual-dtor
                                           -Wold-style-cast -Wimplicit-fallthrough -Werror)
endfunction()
