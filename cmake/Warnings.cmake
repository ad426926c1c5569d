# korvane_warnings(target): the warning set every target of ours builds clean with.
# No -Wnon-virtual-dtor: interfaces of the port-class object model are never
# deleted through, objects end through Release (-Wdelete-non-virtual-dtor,
# part of -Wall, still catches a delete through the wrong type).
function(korvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wimplicit-fallthrough -Werror=return-type)
endfunction()
