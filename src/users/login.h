// The login: name and password checked against USUARIOS, the rights test, then the run's scope.
#pragma once
#include "scope.h"

#include "common/usercheck.h"

#include <QString>

namespace platform {
class Clock;
class Operator;
class WinPaths;
}
namespace core {
class ActivityLog;
}
namespace data {
class TDM;
}
namespace browser {
class WaitIndicator;
}

namespace users {

// The login panel and what the main window does around it.
class LoginView : public ScopeView {
public:
    virtual QString nameText() const = 0;          // EditNome
    virtual QString passwordText() const = 0;      // EditSenhaU
    virtual void setPasswordText(const QString &text) = 0;
    virtual void focusName() = 0;
    virtual void focusPassword() = 0;
    virtual void hideLoginPanel() = 0;             // PainelLogin, for good
    // Esc becomes "Sair", the grid is enabled and focused, then the search box; the filter boxes
    // show the first view (item 6, expired lots hidden) without running their change handlers.
    virtual void afterLoginSucceeded() = 0;
    virtual void closeMainWindow() = 0;            // ends the program
};

struct LoginContext {
    data::TDM &dm;
    LoginView &view;
    platform::Operator &op;
    const platform::Clock &clock;
    core::ActivityLog &log;
    const platform::WinPaths &paths;
    browser::WaitIndicator &wait;
};

inline constexpr int kUserNameWidth = 60;
inline constexpr int kAccessRightsWidth = 50;
// The first view after login: positive balances, expired lots hidden.
inline constexpr int kFirstView = 6;
inline constexpr int kFirstExpiredMode = 0;

inline const QString kEmptyNameMessage = QStringLiteral("Não foi informado o Nome do Usuário.");
inline const QString kWrongPasswordMessage = QStringLiteral("Senha incorreta. Tente novamente.");
QString NotAuthorisedMessage(const QString &nameText);
QString NoWorkAreaMessage(const QString &nameText);

// The rights string admits the user when its eighth character's code, less 9 (mod 256), is the
// code of the user's first character (Windows-1252 codes).
using common::HasStockRights;

enum class LoginOutcome {
    Refused,    // the panel stays; the operator may try again
    Ended,      // the main window was closed
    LoggedIn,
};

// Runs the login with the panel's current name and password.
LoginOutcome CheckLogin(LoginContext &ctx);

} // namespace users
