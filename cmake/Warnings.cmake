# Our own targets call vantelle_warnings(target); third-party code keeps its own flags.
function(vantelle_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(VANTELLE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
