// The reports panel's three "Excel" buttons: btn2 (lot list), btn9 (physical/financial stock) and
// BitBtn12 (cost of products sold). One export at a time.
#pragma once
#include <QObject>

namespace data {
class TDM;
}
namespace platform {
class Clock;
class WinPaths;
}

namespace exports_ui {

class ExportHandlers : public QObject {
    Q_OBJECT
public:
    ExportHandlers(data::TDM &dm, const platform::WinPaths &paths, const platform::Clock &clock,
                   QObject *parent = nullptr);

    bool busy() const { return m_running; }

Q_SIGNALS:
    // An export starts (true) or has ended, however it ended (false).
    void busyChanged(bool running);

public Q_SLOTS:
    void btn2Click();
    void btn9Click();
    void BitBtn12Click();

private:
    template <class F> void once(F &&work);

    data::TDM &m_dm;
    const platform::WinPaths &m_paths;
    const platform::Clock &m_clock;
    bool m_running = false;
};

} // namespace exports_ui
