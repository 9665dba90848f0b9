// The window's side of a wait on a record another workstation holds: while the engine waits on a
// worker thread, a small modal panel says what is waited for and offers "Cancelar"; the window
// keeps painting and its other input is held until the wait ends.
#pragma once
#include "db/lockwait.h"

#include <QString>

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

    void wait(const QString &what, const std::function<void()> &job, const std::function<void()> &cancel) override;

private:
    db::LockWaitHost *m_previous;
};

} // namespace data_ui
