// The data module on a central and a workstation test database, with the report projects of
// the source tree in C:\FORMULIX\rpt, and a report view that records what a run presented.
#pragma once
#include "reports/engine/engine.h"
#include "support/modulerig.h"

#include <QDir>
#include <QFile>

namespace reportstest {

struct RecordingView : reports_engine::RunView {
    int presented = 0;
    reports_engine::PageModel model;
    std::function<void()> duringPresent;
    void present(const reports_engine::PageModel &m, const std::vector<reports_engine::FileRenderer> &) override
    {
        ++presented;
        model = m.laidOut();
        if (duringPresent)
            duringPresent();
    }
    // Every text of every page, in order.
    QStringList texts() const
    {
        QStringList out;
        for (const auto &page : model.pages)
            for (const auto &item : page.items)
                if (!item.text.isEmpty())
                    out << item.text;
        return out;
    }
};

struct ReportRig : testsupport::ModuleRig {
    testsupport::TempDatabase ws{{QStringLiteral("workstation")}};

    ReportRig()
    {
        connections.SQLConnection2.configure(ws.target());
        run.UserName = QStringLiteral("ANA");
        run.WorkstationCode = QStringLiteral("01");
        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX/rpt"));
        for (const char *name : {"rel_Lotview.rav", "rel_EstoqueFisFin.rav", "rel_EstoqueFisFinR.rav"})
            QFile::copy(QStringLiteral(ESTOQUE_SOURCE_DIR "/rpt/") + QLatin1String(name),
                        dir.filePath(QStringLiteral("c/FORMULIX/rpt/")) + QLatin1String(name));
    }

    void execWs(const QString &sql) { ws.conn().execute(sql); }
    void setMarker(bool on)
    {
        const QString marker = dir.filePath(QStringLiteral("c/FORMULIX/DIAG.TXT"));
        if (on) {
            QFile f(marker);
            f.open(QIODevice::WriteOnly);
        } else {
            QFile::remove(marker);
        }
    }
    QByteArray diagnosticLog() const { return fileBytes(QStringLiteral("c/FORMULIX/log_rel_estlote.txt")); }
};

} // namespace reportstest
