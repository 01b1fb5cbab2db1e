// A TCP port on 127.0.0.1 where nothing listens, for tests that need a refused connection or a
// port to hand a server before it starts.
#pragma once

namespace testsupport
{

/// A port the system handed out a moment ago and that nothing holds now (a later bind by
/// someone else can still take it; tests run in a namespace of their own).
int FreeLoopbackTcpPort();

} // namespace testsupport
