// Waiting on a row another connection holds, or on a server that does not answer: bounded,
// visible and cancellable.
//
// Every transaction asks the engine to give up a lock wait after a short moment. When a statement
// gives up so, the layer asks the server whether the transaction holding the row is still under
// way (and whether it is itself waiting on this one: two workstations waiting on each other), and
// runs the statement again and again (each run woken by the engine the moment the other
// connection ends) until it goes through, the operator cancels or the site's limit passes.
// On the window's thread every call that may wait (a statement, or any call to a server) is
// handed to the installed LockWaitHost, which runs it on a worker and keeps the window alive
// meanwhile, offering "Cancelar" after about a second; without one (tools, tests of this layer)
// calls run on the calling thread. A cancelled or timed-out wait throws a DbError that
// operatorText() explains in Portuguese; the transaction is then rolled back by its owner, so
// nothing is saved.
#pragma once
#include <QString>
#include <functional>

namespace db {

class LockWaitHost {
public:
    virtual ~LockWaitHost() = default;
    // True when calls made on the current thread are to be handed to wait() (the window's thread).
    virtual bool keepsThreadAlive() const = 0;
    // Runs `job` on another thread to its end while this one stays responsive; `what` gives the
    // text to show for it at any moment; `cancel` may be called from this thread to interrupt it.
    // Returns when `job` has returned; an exception `job` threw is thrown here then.
    virtual void wait(const std::function<QString()> &what, const std::function<void()> &job,
                      const std::function<void()> &cancel) = 0;
};

// The host used from now on (nullptr: none). The program installs one for its window.
void setLockWaitHost(LockWaitHost *host);
LockWaitHost *lockWaitHost();

// How long a statement waits on a held row before it gives up, in seconds (default 30), counted
// from the moment the engine first says the row is held.
void setLockWaitLimit(int seconds);
int lockWaitLimit();

// How long the engine waits on a lock before it gives the statement back to the layer, which then
// asks the server about the transaction holding the row and runs the statement again, in seconds
// (default 1).
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
inline const QString kServerWaitPanelText = QStringLiteral("Aguardando o servidor…");

} // namespace db
