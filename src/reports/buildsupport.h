// What every staging build shares: the progress gauge it drives, the consistency-error list it
// fills, the diagnostic log and the messages of the staging table and the store header.
#pragma once
#include <QString>
#include <QStringList>

namespace platform {
class WinPaths;
}

namespace reports {

// The panel's gauge as a build drives it.
class BuildProgress {
public:
    virtual ~BuildProgress() = default;
    virtual void start(int total) = 0;
    virtual void step(int position) = 0;   // also lets the window repaint
    virtual void end() = 0;                // back to 0
    // The waiting panels: PainelAguarde ("Finalizando. Favor aguardar...") and PainelAguarde2
    // ("Aguarde...").
    enum class Wait { Finalizing, Waiting };
    virtual void showWait(Wait) {}
    virtual void hideWait(Wait) {}
    // The gauge's bar colour, 0xRRGGBB (the cost of products sold draws its two passes apart).
    virtual void gaugeColour(unsigned) {}
    // A build at work, on or off: the reading before the first step can take seconds, and the
    // operator sees that something is going on (a busy pointer, a busy gauge until start()).
    virtual void working(bool) {}
};

// The screen of one build: the waiting panels it shows and its gauge. Whatever ends the build (a
// message and an early return, or an error thrown by a statement or by the report engine), the
// panels it showed are hidden and, unless the build finished and handed the gauge on to the
// report, the gauge goes back to 0.
class BuildFrame {
public:
    // building: the frame of a build, shown at work until it finishes or ends.
    explicit BuildFrame(BuildProgress &progress, bool building = false) : m_progress(progress), m_working(building)
    {
        if (m_working)
            m_progress.working(true);
    }
    ~BuildFrame();
    BuildFrame(const BuildFrame &) = delete;
    BuildFrame &operator=(const BuildFrame &) = delete;

    void showWait(BuildProgress::Wait which);
    void hideWait(BuildProgress::Wait which);
    // The build went through: the gauge stays as it is for the report run that follows.
    void finished()
    {
        m_finished = true;
        stopWorking();
    }

private:
    BuildProgress &m_progress;
    bool m_shown[2] = {false, false};
    bool m_finished = false;
    bool m_working;
    void stopWorking()
    {
        if (m_working)
            m_progress.working(false);
        m_working = false;
    }
};

class NoProgress : public BuildProgress {
public:
    void start(int) override {}
    void step(int) override {}
    void end() override {}
};

// The messages of one build for PainelDeErros; every message counts one.
struct ConsistencyErrors {
    QStringList lines;
    int count = 0;
    void clear() { lines.clear(); count = 0; }
    void add(const QString &line) { lines << line; ++count; }
};

inline const QString kDiagnosticLogPath = QStringLiteral("c:\\formulix\\log_rel_estlote.txt");
inline const QString kDiagnosticMarkerPath = QStringLiteral("C:\\FORMULIX\\DIAG.TXT");
inline const QString kDiagnosticHeader = QStringLiteral("Diagnostico do RELESTLOTE");
inline const QString kSaveFailedLine =
    QStringLiteral("HÁ UMA INCONSISTÊNCIA NESTE COMPONENTE. NÃO CONSEGUI INCLUÍ-LO NO RELATÓRIO");

// The log "c:\formulix\log_rel_estlote.txt": created anew by each build holding its header,
// then appended to; the detailed lines only when the marker "C:\FORMULIX\DIAG.TXT" exists.
class DiagnosticLog {
public:
    explicit DiagnosticLog(const platform::WinPaths &paths);
    bool detailed() const;      // the marker file exists
    void create();              // throws platform::Error when the file cannot be made
    void append(const QStringList &lines);   // throws platform::Error when it cannot be written
    // Makes the marker holding a line of 23 hyphens when it does not exist, so every later
    // build writes the detailed lines.
    void createMarker();

private:
    const platform::WinPaths &m_paths;
};

// The staging table cannot be emptied.
QString StagingTableErrorMessage(const QString &userName, const QString &workstationCode);
// The store header cannot be read (the builds).
inline const QString kStoreHeaderBuildMessage = QStringLiteral(
    "Erro na tabela DADOSGER. Execute o programa VERDELHO.EXE e execute a opção \"Criar cabeçalho de relatórios em "
    "Dadosger\" antes de continuar.");
// The store header cannot be read ("Visualizar").
inline const QString kStoreHeaderViewMessage = QStringLiteral(
    "Erro tentando abrir a tabela DADOSGER. Verifique se a estrutura da tabela é compatível com esta versão do sistema.");

// "Select " + StoreDataColumnList + " from DADOSGER where CNPJ = '<cnpj>'", quotes in the CNPJ doubled.
QString StoreHeaderStatement(const QString &storeCnpj);

} // namespace reports
