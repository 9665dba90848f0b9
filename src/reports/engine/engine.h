// The report engine: named data connections, projects read from disk at every run, the page
// model laid out and handed to the preview, from which the operator prints or saves.
#pragma once
#include "dataconnection.h"
#include "layout.h"
#include "render.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace platform {
class Clock;
class Operator;
class WinPaths;
}

namespace reports_engine {

// "The following reporting project does not exist:", a line break and the path in double quotes.
QString MissingProjectMessage(const QString &windowsPath);

// Where a run shows itself: the start and end of planning its pages, then the result, whose
// pages are made as it asks for them.
class RunView {
public:
    virtual ~RunView() = default;
    virtual void generationStarted() {}
    virtual void generationEnded() {}
    // Returns when the operator is done with the result.
    virtual void present(const PageModel &model, const std::vector<FileRenderer> &renderers) = 0;
};

class ReportEngine {
public:
    // op: where the preview reports a file it could not write.
    ReportEngine(const platform::WinPaths &paths, const platform::Clock &clock, platform::Operator *op = nullptr);
    ~ReportEngine();

    void addConnection(const QString &name, std::unique_ptr<DataConnection> connection);

    // The PDF, RTF and plain-text renderers become available to the preview's Save.
    void makeFileRenderersAvailable() { m_renderers = FileRenderers(); }
    const std::vector<FileRenderer> &fileRenderers() const { return m_renderers; }

    // Where runs are shown; null gives the modal preview (status window, maximised, zoom 100 %).
    void setView(RunView *view) { m_view = view; }

    // Where the preview saves a file named without a folder (a Windows folder, trailing separator).
    void setSaveFolder(const QString &windowsFolder)
    {
        m_saveFolder = windowsFolder;
        m_preview.reset();
    }

    // Reads the project at its Windows path again, lays the named report out over the connections
    // (a closed one is opened for the run and closed after; an open one keeps its position) and
    // presents it; returns when the preview is closed. A missing project raises ReportError with
    // MissingProjectMessage; a report the project does not hold shows nothing.
    void execute(const QString &projectWindowsPath, const QString &reportName);

private:
    const platform::WinPaths &m_paths;
    const platform::Clock &m_clock;
    platform::Operator *m_op;
    std::map<QString, std::unique_ptr<DataConnection>> m_connections;   // by name, upper case
    std::vector<FileRenderer> m_renderers;
    RunView *m_view = nullptr;
    std::unique_ptr<RunView> m_preview;
    QString m_saveFolder;
};

} // namespace reports_engine
