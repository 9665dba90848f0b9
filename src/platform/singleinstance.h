// One running copy per user and display: a second start asks the first to come back and ends.
#pragma once
#include <QObject>
#include <QString>

class QLocalServer;

namespace platform {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // key names the program ("ESTOQUE"); the user and display are added to it.
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when no other copy runs; this copy then listens for later starts.
    // False when another copy answered: it has been asked to restore its window.
    bool claim();

Q_SIGNALS:
    void restoreRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace platform
