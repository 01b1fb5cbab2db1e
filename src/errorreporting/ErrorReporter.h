// The error reporter program: attaches to a crashed process, writes its minidump, asks the
// user and uploads the dump to the crash server.
#pragma once

/// Runs ZELErrorReporting with its command line
///   <path> <process id> [<crash record address> <thread id> [<brand>]]
/// (numbers decimal or 0x-hexadecimal) and returns its exit code: 0 when the dialog ran to its
/// end, sent or not; 1 with no arguments and on every failure before the dump was written.
/// Environment: ZEL_REPORT_ANSWER, ZEL_CRASH_SERVER=host[:port], TMPDIR, and the display
/// variables (see DecideReporterMode). Call once, from main.
int RunErrorReporter(int argc, char** argv);
