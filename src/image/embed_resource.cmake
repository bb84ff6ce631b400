# Turns a binary file into a C++ source file holding its bytes:
#   cmake -DINPUT=file.png -DOUTPUT=file.cpp -DSYMBOL=kName -P embed_resource.cmake
# defines `const unsigned char kName[]` and `const uint32_t kNameSize`.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time. Do not edit.\n"
  "#include <cstdint>\n\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const uint32_t ${SYMBOL}Size;\n\n"
  "const unsigned char ${SYMBOL}[] = {\n    ${bytes}\n};\n"
  "const uint32_t ${SYMBOL}Size = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
