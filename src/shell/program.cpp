#include "program.h"

#include "platform/osuser.h"

namespace shell {

Program::Program(const QString &folder, platform::Clock &c, platform::Operator &o)
    : localProgramFolder(folder),
      clock(c),
      op(o),
      osUserName(&platform::osUserName),
      paths(platform::WinPaths::load(folder)),
      connections(paths),
      log(clock, paths),
      dm(run, connections, log, op)
{
    log.setAnchorDatabase(&connections.SQLConnection1);
}

} // namespace shell
