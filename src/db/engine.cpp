#include "engine.h"
#include "serverwatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace db::engine {

const char *const kUser = "SYSDBA";
const char *const kPassword = "vortexine";

namespace {

// The embedded engine keeps its lock files in /tmp/firebird, which the server package makes
// writable for its own group only: another user gets a folder of its own.
void chooseLockFolder()
{
    if (qEnvironmentVariableIsSet("FIREBIRD_LOCK"))
        return;
    const QFileInfo dflt(QStringLiteral("/tmp/firebird"));
    if (!dflt.exists() || (dflt.isDir() && dflt.isWritable()))
        return;
    const QString own = QStringLiteral("/tmp/firebird-%1").arg(getuid());
    QDir().mkpath(own);
    qputenv("FIREBIRD_LOCK", QFile::encodeName(own));
}

} // namespace

IMaster *master()
{
    static IMaster *m = [] {
        chooseLockFolder();
        return fb_get_master_interface();
    }();
    return m;
}

QByteArray dpb(bool create, int pageSize, bool embedded, int connectTimeout)
{
    Status st;
    IXpbBuilder *b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    st.check();
    b->insertString(&st, isc_dpb_user_name, kUser);
    b->insertString(&st, isc_dpb_password, kPassword);
    b->insertInt(&st, isc_dpb_sql_dialect, 3);
    // Without this, a local file the engine cannot open is tried next on a server at 127.0.0.1,
    // and one that accepts and never answers would hold the program for minutes.
    if (embedded)
        b->insertString(&st, isc_dpb_config, "Providers = Engine12");
    else
        b->insertInt(&st, isc_dpb_connect_timeout, connectTimeout > 0 ? connectTimeout : serverAnswerLimit());
    if (create) {
        b->insertInt(&st, isc_dpb_page_size, pageSize);
        b->insertInt(&st, isc_dpb_force_write, 0);
    }
    st.check();
    QByteArray out(reinterpret_cast<const char *>(b->getBuffer(&st)), int(b->getBufferLength(&st)));
    b->dispose();
    return out;
}

} // namespace db::engine
