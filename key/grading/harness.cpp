#include "key/grading/harness.h"

#include <charconv>
#include <cmath>

#include "key/model/key_text.h"

namespace {
// C's hexadecimal notation carries a double exactly, whatever the C
// library's decimal conversions do.
std::string hexLiteral(double value) {
    char buffer[40];
    const double magnitude = std::fabs(value);
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::hex);
    const std::string digits = error == std::errc{} ? std::string(buffer, end) : "0p+0";
    return (value < 0 ? "-0x" : "0x") + digits;
}
}  // namespace

std::string harnessSource(const std::vector<GradePoint>& points) {
    std::string source =
        "/* Written by " + std::string(keyProgramName) +
        " to run the answers in signals.c at the\n"
        "   grading times; removed again after grading. */\n"
        "#include <stdio.h>\n"
        "#include <stdlib.h>\n"
        "#include <string.h>\n"
        "#ifdef _WIN32\n"
        "#include <direct.h>\n"
        "#define chdir _chdir\n"
        "#else\n"
        "#include <signal.h>\n"
        "#include <unistd.h>\n"
        "#endif\n"
        "\n"
        "double x(double t);\n"
        "double y(double t);\n"
        "double z(double t);\n"
        "double r(double t);\n"
        "\n"
        "static const double gradingTimes[] = {\n";
    for (const GradePoint& point : points) {
        source += "    " + hexLiteral(point.t) + ",\n";
    }
    source +=
        "};\n"
        "\n"
        "static FILE *out;\n"
        "static int finished;\n"
        "\n"
        "/* A function that calls exit() has not crashed, whatever the status. */\n"
        "static void onExit(void)\n"
        "{\n"
        "    if (out != 0 && !finished) {\n"
        "        fprintf(out, \" exit\\n\");\n"
        "        fflush(out);\n"
        "    }\n"
        "}\n"
        "\n"
        "#ifndef _WIN32\n"
        "/* A fault just below the top of the stack is the stack running out; the\n"
        "   default action then ends the program as the fault would. */\n"
        "static char *stackTop;\n"
        "static void onFault(int sig, siginfo_t *info, void *context)\n"
        "{\n"
        "    char *at = (char *)info->si_addr;\n"
        "    (void)sig;\n"
        "    (void)context;\n"
        "    if (out != 0 && at < stackTop && stackTop - at < (1L << 30))\n"
        "        write(fileno(out), \" stack\\n\", 7);\n"
        "}\n"
        "\n"
        "static void watchTheStack(void)\n"
        "{\n"
        "    static char alternate[1 << 16];\n"
        "    stack_t spare;\n"
        "    struct sigaction action;\n"
        "    char top;\n"
        "\n"
        "    stackTop = &top;\n"
        "    spare.ss_sp = alternate;\n"
        "    spare.ss_size = sizeof alternate;\n"
        "    spare.ss_flags = 0;\n"
        "    sigaltstack(&spare, 0);\n"
        "    memset(&action, 0, sizeof action);\n"
        "    action.sa_sigaction = onFault;\n"
        "    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;\n"
        "    sigaction(SIGSEGV, &action, 0);\n"
        "}\n"
        "#else\n"
        "static void watchTheStack(void) {}\n"
        "#endif\n"
        "\n"
        "/* The student's functions run in the scratch folder, beside this\n"
        "   program: what they write or remove is never the exam's. */\n"
        "static int enterOwnFolder(const char *program)\n"
        "{\n"
        "    char folder[512];\n"
        "    size_t length = strlen(program);\n"
        "\n"
        "    while (length > 0 && program[length - 1] != '/' && program[length - 1] != '\\\\')\n"
        "        --length;\n"
        "    if (length == 0)\n"
        "        return 0;\n"
        "    if (length >= sizeof folder)\n"
        "        return -1;\n"
        "    memcpy(folder, program, length);\n"
        "    folder[length] = 0;\n"
        "    return chdir(folder);\n"
        "}\n"
        "\n"
        "int main(int argc, char **argv)\n"
        "{\n"
        "    double (*f)(double);\n"
        "    int i;\n"
        "    const int count = (int)(sizeof gradingTimes / sizeof gradingTimes[0]);\n"
        "\n"
        "    if (argc != 3 || argv[1][0] == 0 || argv[1][1] != 0)\n"
        "        return 2;\n"
        "    switch (argv[1][0]) {\n"
        "    case 'x': f = x; break;\n"
        "    case 'y': f = y; break;\n"
        "    case 'z': f = z; break;\n"
        "    case 'r': f = r; break;\n"
        "    default: return 2;\n"
        "    }\n"
        "    if (enterOwnFolder(argv[0]) != 0)\n"
        "        return 2;\n"
        "    out = fopen(argv[2], \"w\");\n"
        "    if (out == 0)\n"
        "        return 2;\n"
        "    atexit(onExit);\n"
        "    watchTheStack();\n"
        "    for (i = 0; i < count; ++i) {\n"
        "        double value;\n"
        "        fprintf(out, \"%d\", i);\n"
        "        fflush(out);\n"
        "        value = f(gradingTimes[i]);\n"
        "        fprintf(out, \" %.17g\\n\", value);\n"
        "        fflush(out);\n"
        "    }\n"
        "    fprintf(out, \"end\\n\");\n"
        "    finished = 1;\n"
        "    return fclose(out) == 0 ? 0 : 2;\n"
        "}\n";
    return source;
}
