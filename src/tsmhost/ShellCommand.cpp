#include "tsmhost/ShellCommand.h"

#include "tsmhost/VShellClient.h"

#include <string>

int RunShellCommand(const VShellOptions& options, std::FILE* out, std::FILE* err)
{
    VShellClient shell;
    std::string error;
    std::string banner;
    if (!shell.Connect(options.Address, options.Port, options.TimeoutMs, error) ||
        !shell.ReadGreeting(options.TimeoutMs, banner, error))
    {
        std::fprintf(err, "tsmhost: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& command : options.Commands)
    {
        std::string reply;
        if (!shell.Command(command, options.TimeoutMs, reply, error))
        {
            std::fprintf(err, "tsmhost: %s\n", error.c_str());
            return 1;
        }
        std::fputs(reply.c_str(), out);
        if (!reply.empty() && reply.back() != '\n')
            std::fputc('\n', out);
    }
    std::fflush(out);
    return 0;
}
