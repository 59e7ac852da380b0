# cmake -DINPUT=FILE -DOUTPUT=FILE.cpp -DNAMESPACE=NS -DSYMBOL=NAME -P embed_text.cmake
#
# Writes a C++ source that holds the bytes of INPUT as the array NS::NAME (no terminating zero)
# and its length as NS::NAME##Size. A single line feed ending the file is left out: a text file
# in the tree ends with one, the text the program hands out does not. Bytes rather than a raw
# string, since compilers limit the length of a string literal.
foreach(var INPUT OUTPUT NAMESPACE SYMBOL)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "embed_text.cmake: ${var} is not set")
    endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "0a$" "" hex "${hex}")
string(LENGTH "${hex}" hex_length)
if(hex_length EQUAL 0)
    message(FATAL_ERROR "embed_text.cmake: ${INPUT} is empty")
endif()
# One line of the array for each line of the text.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REPLACE "'\\x0a'," "'\\x0a',\n    " bytes "${bytes}")

get_filename_component(input_name "${INPUT}" NAME)
set(text "// Generated from ${input_name} at build time; edit that file instead.
#include <cstddef>

namespace ${NAMESPACE} {

extern const char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}Size;

const char ${SYMBOL}[] = {
    ${bytes}
};
const std::size_t ${SYMBOL}Size = sizeof(${SYMBOL});

}  // namespace ${NAMESPACE}
")
file(WRITE "${OUTPUT}.tmp" "${text}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
