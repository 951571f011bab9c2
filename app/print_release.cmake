# Prints the program's size and SHA-256 after each link.
file(SIZE "${FILE}" size)
file(SHA256 "${FILE}" sha)
math(EXPR kib "(${size} + 1023) / 1024")
message(STATUS "${FILE}: ${size} bytes (${kib} KiB), SHA-256 ${sha}")
