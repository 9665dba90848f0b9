#include "testdb.h"

#include <QFile>
#include <QFileDevice>
#include <stdexcept>

namespace testsupport {

QString testServer()
{
    return qEnvironmentVariable("ESTOQUE_TEST_SERVER");
}

QString sqlScript(const QString &name)
{
    QFile f(QStringLiteral(ESTOQUE_SOURCE_DIR "/sql/%1.sql").arg(name));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing sql script " + name.toStdString());
    return QString::fromUtf8(f.readAll());
}

TempDatabase::TempDatabase(const QStringList &scripts)
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
    m_file = m_dir.path() + QStringLiteral("/test.fdb");
    const QString server = testServer();
    if (server.isEmpty()) {
        m_target = db::Target{m_file, true, true};
    } else {
        // The server runs as its own user: it must be able to write into the folder.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                                | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
        m_target = db::Target{server + QLatin1Char(':') + m_file, false, true};
    }
    db::Connection::createDatabase(m_target);
    m_conn = std::make_unique<db::Connection>();
    m_conn->configure(m_target);
    for (const QString &s : scripts)
        m_conn->runScript(sqlScript(s));
}

TempDatabase::~TempDatabase()
{
    m_conn.reset();
}

std::unique_ptr<db::Connection> TempDatabase::another() const
{
    auto c = std::make_unique<db::Connection>();
    c->configure(m_target);
    return c;
}

} // namespace testsupport
