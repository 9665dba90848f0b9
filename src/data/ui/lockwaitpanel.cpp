// A wait on a held record run on a worker thread under a modal panel with "Cancelar".
#include "lockwaitpanel.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <atomic>
#include <thread>

namespace data_ui {

namespace {

// Closing the panel (Escape, the title bar) asks for the cancel too: the panel goes when the
// wait has ended, never before.
class Panel : public QDialog {
public:
    Panel(QWidget *parent, const QString &what, std::function<void()> cancel)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_cancel(std::move(cancel))
    {
        setObjectName(kLockWaitPanelName);
        setWindowTitle(QStringLiteral("Aguarde"));
        setWindowModality(Qt::ApplicationModal);
        auto *layout = new QVBoxLayout(this);
        m_label = new QLabel(what, this);
        m_label->setObjectName(QStringLiteral("LabelAguarda"));
        layout->addWidget(m_label);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        m_button = new QPushButton(kLockWaitCancelText, this);
        m_button->setObjectName(QStringLiteral("BotaoCancelar"));
        m_button->setAutoDefault(false);
        buttons->addWidget(m_button);
        buttons->addStretch();
        layout->addLayout(buttons);
        connect(m_button, &QPushButton::clicked, this, [this] { requestCancel(); });
    }

    void reject() override { requestCancel(); }

private:
    void requestCancel()
    {
        if (!m_button->isEnabled())
            return;
        m_button->setEnabled(false);
        m_label->setText(kLockWaitCancellingText);
        m_cancel();
    }

    std::function<void()> m_cancel;
    QLabel *m_label;
    QPushButton *m_button;
};

QWidget *panelParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

LockWaitPanel::LockWaitPanel() : m_previous(db::lockWaitHost())
{
    db::setLockWaitHost(this);
}

LockWaitPanel::~LockWaitPanel()
{
    if (db::lockWaitHost() == this)
        db::setLockWaitHost(m_previous);
}

void LockWaitPanel::wait(const QString &what, const std::function<void()> &job, const std::function<void()> &cancel)
{
    // Off the window's thread (a worker of a build, a tool) there is no window to keep alive.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()) || QThread::currentThread() != qApp->thread()) {
        job();
        return;
    }
    QEventLoop loop;
    std::atomic<bool> finished{false};
    Panel panel(panelParent(), what, cancel);
    std::thread worker([&] {
        job();
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    panel.show();
    panel.raise();
    loop.exec();
    // The program is ending (its last window closed, a termination request): the wait is given
    // up, so the transaction is rolled back rather than left to the limit.
    if (!finished)
        cancel();
    worker.join();
    panel.hide();
}

} // namespace data_ui
