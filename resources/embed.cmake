# Writes a C++ source that holds the bytes of INPUT as the array SYMBOL (and SYMBOL Size).
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}" "#include <stddef.h>\n#include <stdint.h>\nextern const uint8_t ${SYMBOL}[];\nextern const size_t ${SYMBOL}Size;\nconst uint8_t ${SYMBOL}[] = {${bytes} 0};\nconst size_t ${SYMBOL}Size = ${size};\n")
