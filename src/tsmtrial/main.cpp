// tsmtrial: inspects, generates and compares trial files (.x2d camera data, .x1d analogue
// data). "tsmtrial --help" lists the sub-commands.
#include "tsmtrial/TsmtrialCommands.h"

#include <unistd.h>

#include <iostream>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const VTsmtrialConsole console{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    const int code = Tsmtrial::Run(arguments, console);
    std::cout.flush();
    return code;
}
