// tsmCL: the simulated capture devices, driven by the command line.
#include "app/TsmMain.h"

int main(int argc, char* argv[])
{
    return RunTsmCL(argc, argv);
}
