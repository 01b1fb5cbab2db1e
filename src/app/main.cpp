// tsmCL: the simulated capture devices, driven by the command line.
#include "app/TsmMain.h"
#include "app/VCrashHandOff.h"

// Installed before main runs, so that a crash anywhere, start-up included, is reported.
static const VCrashHandOff g_CrashHandOff(1);

int main(int argc, char* argv[])
{
    return RunTsmCL(argc, argv);
}
