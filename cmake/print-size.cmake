# Prints the size of a built file: cmake -DFILE=path -P print-size.cmake
file(SIZE "${FILE}" size)
math(EXPR kb "(${size} + 1023) / 1024")
get_filename_component(name "${FILE}" NAME)
message(STATUS "${name}: ${size} bytes (${kb} KB)")
