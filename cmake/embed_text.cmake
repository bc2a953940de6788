# Run as cmake -DINPUT=file -DOUTPUT=header -DNAME=constant -P embed_text.cmake:
# writes a header holding the text of INPUT as the string constant NAME, so
# that a file the program writes out (the key's test program) is kept and
# edited as the file it is.
file(READ ${INPUT} text)
get_filename_component(input_name ${INPUT} NAME)
file(WRITE ${OUTPUT}
  "// Made from ${input_name} by cmake/embed_text.cmake; edit that file instead.\n"
  "#pragma once\n\n"
  "inline constexpr char ${NAME}[] = R\"embedded_text(${text})embedded_text\";\n")
