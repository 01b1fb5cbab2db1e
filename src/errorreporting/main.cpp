// ZELErrorReporting: started by a crashed program's crash hand-off; writes the minidump and
// offers to send it.
#include "errorreporting/ErrorReporter.h"

int main(int argc, char** argv)
{
    return RunErrorReporter(argc, argv);
}
