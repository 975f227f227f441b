# cmake -DINPUT=file.res -DOUTPUT=file.cpp -DSYMBOL=Name -P embed.cmake
# Writes the bytes of INPUT as a C++ array, so that a host program carries
# its compiled resources the way an executable does.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" n)
math(EXPR size "${n} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}"
  "// Generated from ${INPUT}.\n#include <cstddef>\n"
  "extern const unsigned char ${SYMBOL}[] = {${bytes}0};\n"
  "extern const size_t ${SYMBOL}Size = ${size};\n")
