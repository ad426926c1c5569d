# korvane_warnings(target): the warning set every target of ours builds clean with.
function(korvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wimplicit-fallthrough -Werror=return-type)
endfunction()
