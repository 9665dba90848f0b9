// Calls that may wait run on worker threads kept for the purpose, the window painting meanwhile,
// under a modal panel with "Cancelar" once the wait has lasted about a second.
#include "lockwaitpanel.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace data_ui {

namespace {

// A call that ends within this is waited for without turning the event loop: nothing else of the
// window runs in the middle of it.
constexpr std::chrono::milliseconds kQuiet{150};
// Then the window paints and runs its timers; the panel comes up after this, or from the second
// of these on as soon as the call is known to wait on a record another workstation holds.
constexpr qint64 kPanelAfterMs = 1000;
constexpr qint64 kPanelOnRowAfterMs = 500;

// Closing the panel (Escape, the title bar) asks for the cancel too: the panel goes when the
// wait has ended, never before.
class Panel : public QDialog {
public:
    Panel(QWidget *parent, const std::function<QString()> &what, std::function<void()> cancel)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_what(what),
          m_cancel(std::move(cancel))
    {
        setObjectName(kLockWaitPanelName);
        setWindowTitle(QStringLiteral("Aguarde"));
        setWindowModality(Qt::ApplicationModal);
        auto *layout = new QVBoxLayout(this);
        m_label = new QLabel(m_what(), this);
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
        // What is waited for may change (a server call found to wait on a held record).
        auto *follow = new QTimer(this);
        follow->setInterval(100);
        connect(follow, &QTimer::timeout, this, [this] {
            if (m_button->isEnabled())
                m_label->setText(m_what());
        });
        follow->start();
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

    std::function<QString()> m_what;
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

// One call handed over: done once the job has returned, with what it threw.
struct Handover {
    std::mutex mutex;
    std::condition_variable doneCv;
    bool done = false;
    std::exception_ptr failure;
    QEventLoop *loop = nullptr;   // set while the window's thread turns it
};

} // namespace

// Threads kept for the calls: one is enough but for a call made while another waits (a timer
// run meanwhile), which gets a thread of its own. A thread counts as free again before its
// caller is told the call has ended, so the caller's next call never finds them all busy.
struct LockWaitPanel::Workers {
    struct Job {
        std::function<void()> work, finish;
    };
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::vector<std::thread> threads;
    int busy = 0;
    bool stopping = false;

    void run(std::function<void()> work, std::function<void()> finish)
    {
        std::lock_guard lock(mutex);
        jobs.push_back({std::move(work), std::move(finish)});
        if (busy + int(jobs.size()) > int(threads.size()))
            threads.emplace_back([this] { loop(); });
        else
            wake.notify_one();
    }

    void loop()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !jobs.empty() || stopping; });
            if (jobs.empty())
                return;
            Job job = std::move(jobs.front());
            jobs.pop_front();
            ++busy;
            lock.unlock();
            job.work();
            lock.lock();
            --busy;
            lock.unlock();
            job.finish();
            lock.lock();
        }
    }

    ~Workers()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread &t : threads)
            t.join();
    }
};

LockWaitPanel::LockWaitPanel() : m_previous(db::lockWaitHost()), m_workers(std::make_unique<Workers>())
{
    db::setLockWaitHost(this);
}

LockWaitPanel::~LockWaitPanel()
{
    if (db::lockWaitHost() == this)
        db::setLockWaitHost(m_previous);
}

bool LockWaitPanel::keepsThreadAlive() const
{
    // Off the window's thread (a worker of a build, a tool) there is no window to keep alive.
    return qobject_cast<QApplication *>(QCoreApplication::instance()) && QThread::currentThread() == qApp->thread();
}

void LockWaitPanel::wait(const std::function<QString()> &what, const std::function<void()> &job,
                         const std::function<void()> &cancel)
{
    if (!keepsThreadAlive()) {
        job();
        return;
    }
    QElapsedTimer since;
    since.start();
    auto h = std::make_shared<Handover>();
    m_workers->run(
        [h, &job] {
            try {
                job();
            } catch (...) {
                // Whatever the job threw ends the wait and is thrown on the window's thread.
                h->failure = std::current_exception();
            }
        },
        [h] {
            std::lock_guard lock(h->mutex);
            h->done = true;
            h->doneCv.notify_all();
            if (h->loop)
                QMetaObject::invokeMethod(h->loop, &QEventLoop::quit, Qt::QueuedConnection);
        });

    bool finished = false;
    {
        std::unique_lock lock(h->mutex);
        finished = h->doneCv.wait_for(lock, kQuiet, [&] { return h->done; });
    }
    if (!finished) {
        // The window paints and runs its timers; typing and clicks wait for the end of the call
        // until the panel is up, and then go to the panel only.
        QEventLoop loop;
        bool panelDue = false;
        QTimer due;
        QObject::connect(&due, &QTimer::timeout, &loop, [&] {
            const qint64 ms = since.elapsed();
            if (panelDue || (ms < kPanelAfterMs && (ms < kPanelOnRowAfterMs || what() != db::kLockWaitPanelText)))
                return;
            panelDue = true;
            due.stop();
            loop.quit();
        });
        due.start(50);
        std::unique_ptr<Panel> panel;
        for (;;) {
            {
                std::lock_guard lock(h->mutex);
                if (h->done)
                    break;
                h->loop = &loop;
            }
            const bool withPanel = panelDue;
            if (withPanel && !panel) {
                panel = std::make_unique<Panel>(panelParent(), what, cancel);
                panel->show();
                panel->raise();
            }
            loop.exec(withPanel ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
            {
                std::lock_guard lock(h->mutex);
                h->loop = nullptr;
                if (h->done)
                    break;
            }
            if (panelDue == withPanel) {
                // Left for another reason: the program is ending (its last window closed, a
                // termination request). The wait is given up, so the transaction is rolled back
                // rather than left to the limit.
                cancel();
                std::unique_lock lock(h->mutex);
                h->doneCv.wait(lock, [&] { return h->done; });
                break;
            }
        }
        if (panel)
            panel->hide();
    }
    std::exception_ptr failure;
    {
        std::lock_guard lock(h->mutex);
        failure = h->failure;
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace data_ui
