// The window's side of every call that may wait (on a record another workstation holds, on a
// server that does not answer): the call runs on a worker thread while the window keeps painting;
// after about a second a small modal panel says what is waited for and offers "Cancelar". Other
// input to the window is held until the wait ends.
#pragma once
#include "db/lockwait.h"

#include <QString>
#include <memory>

namespace data_ui {

inline const QString kLockWaitPanelName = QStringLiteral("PainelAguardaRegistro");
inline const QString kLockWaitCancelText = QStringLiteral("Cancelar");
inline const QString kLockWaitCancellingText = QStringLiteral("Cancelando...");

// Installed for its lifetime: the data layer hands every wait on a held record to it.
class LockWaitPanel : public db::LockWaitHost {
public:
    LockWaitPanel();
    ~LockWaitPanel() override;
    LockWaitPanel(const LockWaitPanel &) = delete;
    LockWaitPanel &operator=(const LockWaitPanel &) = delete;

    bool keepsThreadAlive() const override;
    void wait(const std::function<QString()> &what, const std::function<void()> &job,
              const std::function<void()> &cancel) override;

    struct Workers;

private:
    db::LockWaitHost *m_previous;
    std::unique_ptr<Workers> m_workers;
};

} // namespace data_ui
