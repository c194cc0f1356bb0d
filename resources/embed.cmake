# Writes a C++ source that holds the bytes of INPUT as the array SYMBOL (and SYMBOL Size). One
# byte 0xCC follows them (it also keeps an empty array legal): a resource carries no terminator
# on Windows, so code that reads past its size must not find one here either.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}" "#include <stddef.h>\n#include <stdint.h>\nextern const uint8_t ${SYMBOL}[];\nextern const size_t ${SYMBOL}Size;\nconst uint8_t ${SYMBOL}[] = {${bytes} 0xCC};\nconst size_t ${SYMBOL}Size = ${size};\n")
