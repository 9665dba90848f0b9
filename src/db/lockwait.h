// Waiting on a row another connection holds: bounded, visible and cancellable.
//
// Every transaction asks the engine to give up a lock wait after a short moment. When a statement
// gives up so, the layer runs it again and again (each run is woken by the engine the moment the
// other connection ends) until it goes through, the operator cancels or the site's limit passes.
// Those runs are handed to the installed LockWaitHost, which keeps the window alive meanwhile and
// offers "Cancelar"; without one (tools, tests of this layer) they run on the calling thread.
// A cancelled or timed-out wait throws a DbError that operatorText() explains in Portuguese; the
// transaction is then rolled back by its owner, so nothing is saved.
#pragma once
#include <QString>
#include <functional>

namespace db {

class LockWaitHost {
public:
    virtual ~LockWaitHost() = default;
    // Runs `job` (blocking, thread-safe) to its end while the program stays responsive; `cancel`
    // may be called from this thread to interrupt it. Returns when `job` has returned.
    virtual void wait(const QString &what, const std::function<void()> &job, const std::function<void()> &cancel) = 0;
};

// The host used from now on (nullptr: none). The program installs one for its window.
void setLockWaitHost(LockWaitHost *host);
LockWaitHost *lockWaitHost();

// How long a statement waits on a held row before it gives up, in seconds (default 30).
void setLockWaitLimit(int seconds);
int lockWaitLimit();

// How long the engine waits on a lock before the layer takes over (and a host shows its panel),
// in seconds (default 1).
void setLockWaitStep(int seconds);
int lockWaitStep();

// Said when the operator cancelled a wait, or when it passed the limit.
inline const QString kLockWaitCancelledMessage = QStringLiteral(
    "A operação foi cancelada enquanto aguardava outra estação liberar o registro. Nada foi gravado: "
    "os dados continuam como estavam. Repita a operação quando a outra estação terminar.");
inline const QString kLockWaitTimeoutMessage = QStringLiteral(
    "Outra estação está usando o mesmo registro há mais de %1 segundos. A operação foi desfeita e nada "
    "foi gravado: os dados continuam como estavam. Repita a operação quando a outra estação terminar.");
inline const QString kLockWaitPanelText = QStringLiteral("Aguardando outra estação liberar o registro...");

} // namespace db
