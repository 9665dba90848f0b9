// Checks the typed user against USUARIOS and, once admitted, sets up the run and the first view.
#include "login.h"

#include "uchkprot.h"

#include "core/activitylog.h"
#include "core/runstate.h"
#include "common/stockquery.h"
#include "data/tdm.h"
#include "db/value.h"
#include "platform/cp1252.h"
#include "platform/operator.h"

#include <QByteArray>

namespace users {

QString NotAuthorisedMessage(const QString &nameText)
{
    return QStringLiteral("Usuário ") + nameText + QStringLiteral(" não autorizado");
}

QString NoWorkAreaMessage(const QString &nameText)
{
    return QStringLiteral("Não foi identificada uma área de trabalho para o usuáro ") + platform::asciiUpper(nameText);
}

bool HasStockRights(const QString &acesso, const QString &user)
{
    const QByteArray rights = platform::toCp1252(acesso);
    const QByteArray name = platform::toCp1252(user);
    if (rights.size() < 8 || name.isEmpty())
        return false;
    const unsigned eighth = static_cast<unsigned char>(rights.at(7));
    const unsigned first = static_cast<unsigned char>(name.at(0));
    return ((eighth - 9u) & 0xFFu) == first;
}

LoginOutcome CheckLogin(LoginContext &ctx)
{
    data::TDM &dm = ctx.dm;
    LoginView &view = ctx.view;
    core::RunState &run = dm.run;

    const QString nameText = view.nameText();
    if (nameText.isEmpty()) {
        ctx.op.inform(kEmptyNameMessage);
        view.focusName();
        return LoginOutcome::Refused;
    }

    dm.Usuarios.close();
    dm.Usuarios.open();
    const QString user = platform::asciiUpper(nameText).left(kUserNameWidth);
    run.UserName = user;

    const QString scrambledName = ScrambleText(platform::asciiUpper(nameText));
    if (!dm.Usuarios.locate(QStringLiteral("USUARIO"), db::Value::text(scrambledName))) {
        ctx.op.inform(NotAuthorisedMessage(nameText));
        view.focusName();
        dm.Usuarios.close();
        return LoginOutcome::Refused;
    }
    if (ScrambleText(platform::asciiUpper(view.passwordText())) != dm.Usuarios.text(QStringLiteral("SENHA"))) {
        ctx.op.inform(kWrongPasswordMessage);
        view.focusPassword();
        dm.Usuarios.close();
        return LoginOutcome::Refused;
    }
    const QString acesso = dm.Usuarios.text(QStringLiteral("ACESSO"));
    run.AccessRights = acesso.left(kAccessRightsWidth);
    dm.Usuarios.close();

    if (!HasStockRights(acesso, user)) {
        ctx.op.inform(NotAuthorisedMessage(nameText));
        view.focusName();
        return LoginOutcome::Refused;
    }

    view.hideLoginPanel();
    view.setNameText(QString());
    view.setPasswordText(QString());
    view.afterLoginSucceeded();
    run.UserName = user;

    if (FindWorkstation(dm, view, ctx.op).isEmpty()) {
        // The lookup has put the user name back into the name box.
        ctx.op.inform(NoWorkAreaMessage(view.nameText()));
        view.closeMainWindow();
        return LoginOutcome::Ended;
    }
    SetUpScope(dm, ctx.paths, ctx.op);
    browser::BuildStockQuery(dm, kFirstView, kFirstExpiredMode, ctx.clock, ctx.wait);

    if (run.siteConfig.logOn() && !ctx.log.OpenActivityLog(run.siteConfig.ServerAddress, run.UserName, ctx.op)) {
        view.closeMainWindow();
        return LoginOutcome::Ended;
    }
    return LoginOutcome::LoggedIn;
}

} // namespace users
