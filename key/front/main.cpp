#include "key/front/key_program.h"

int main(int argc, char** argv) { return runKeyProgram(argc, argv); }
