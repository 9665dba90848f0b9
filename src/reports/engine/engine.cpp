#include "engine.h"

#include "previewdialog.h"

#include "platform/clock.h"
#include "platform/winpath.h"

#include <QFile>
#include <QFileInfo>

namespace reports_engine {

QString MissingProjectMessage(const QString &windowsPath)
{
    return QStringLiteral("The following reporting project does not exist:\n\"") + windowsPath + QLatin1Char('"');
}

ReportEngine::ReportEngine(const platform::WinPaths &paths, const platform::Clock &clock, platform::Operator *op)
    : m_paths(paths), m_clock(clock), m_op(op)
{
}

ReportEngine::~ReportEngine() = default;

void ReportEngine::addConnection(const QString &name, std::unique_ptr<DataConnection> connection)
{
    m_connections[name.toUpper()] = std::move(connection);
}

void ReportEngine::execute(const QString &projectWindowsPath, const QString &reportName)
{
    const QString local = m_paths.toLocal(projectWindowsPath);
    QFile file(local);
    if (local.isEmpty() || !QFileInfo(local).isFile() || !file.open(QIODevice::ReadOnly))
        throw ReportError(ReportError::Kind::MissingProject, MissingProjectMessage(projectWindowsPath));
    const Project project = ParseProject(file.readAll(), projectWindowsPath);
    file.close();
    const ReportDef *report = project.find(reportName);
    if (!report)
        return;

    // Datasets opened here are closed again however the run ends.
    std::vector<DataConnection *> openedHere;
    struct CloseOpened {
        std::vector<DataConnection *> &list;
        ~CloseOpened()
        {
            for (DataConnection *c : list) {
                try {
                    c->close();
                } catch (...) {
                }
            }
        }
    } closer{openedHere};

    ConnectionMap connections;
    for (const auto &[name, c] : m_connections)
        connections[name] = c.get();
    for (const QString &name : ConnectionsUsed(*report)) {
        const auto it = m_connections.find(name);
        if (it == m_connections.end() || it->second->isOpen())
            continue;
        it->second->open();
        openedHere.push_back(it->second.get());
    }

    if (!m_view && !m_preview)
        m_preview = MakePreviewView(m_op, &m_paths, m_saveFolder);
    RunView &view = m_view ? *m_view : *m_preview;
    view.generationStarted();
    PageModel model;
    try {
        model = LayOut(*report, connections, m_clock.now());
    } catch (...) {
        view.generationEnded();
        throw;
    }
    view.generationEnded();
    view.present(model, m_renderers);
}

} // namespace reports_engine
