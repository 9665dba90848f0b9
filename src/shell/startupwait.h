// Shown while the start-up statements run: they may wait many seconds on rows another
// workstation holds, before the main window is on screen. A message on the way ends it first.
#pragma once
#include "platform/operator.h"

#include <memory>

class QLabel;

namespace shell {

inline const QString kStartupWaitText = QStringLiteral("Iniciando o programa. Aguarde por favor...");

class StartupWait : public platform::Operator {
public:
    // A busy cursor and a small window saying the program is starting; messages go to `op`.
    explicit StartupWait(platform::Operator &op);
    ~StartupWait() override;
    void end();

    void inform(const QString &text) override;
    void warn(const QString &text) override;
    platform::Answer ask(const QString &text) override;
    void error(const QString &text) override;

private:
    platform::Operator &m_op;
    std::unique_ptr<QLabel> m_window;
    bool m_cursor = false;
};

} // namespace shell
