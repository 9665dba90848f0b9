// The run's workstation, store and laboratory scope, found right after the password check.
#pragma once
#include <QString>
#include <QStringList>

namespace platform {
class Operator;
class WinPaths;
}
namespace data {
class TDM;
}

namespace users {

// What the scope set-up changes in the main window.
class ScopeView {
public:
    virtual ~ScopeView() = default;
    virtual void setNameText(const QString &text) = 0;   // EditNome
    virtual void setCaption(const QString &text) = 0;    // the main window's title
};

inline constexpr int kMaxStoreLaboratories = 20;
inline constexpr int kLaboratoryNameWidth = 60;
inline constexpr int kStoreCnpjWidth = 20;

inline const QString kErroEstoquePath = QStringLiteral("c:\\formulix\\ErroEstoque.txt");
inline const QString kNoLaboratoryMessage = QStringLiteral("Erro. Confira os CNPJs na Tabela de Estações");
inline const QString kEmptyScopeMessage =
    QStringLiteral("Erro. Verifique os CNPJs na Tabela de Estações e o conteúdo da Tabela de Laboratórios.");

// The message shown when the user has no workstation row.
QString NoWorkstationMessage(const QString &userName);
// "  POSIÇÃO ATUAL DO ESTOQUE  -  Usuário: "MARIA"   Estação: 01"
QString MainWindowCaption(const QString &userName, const QString &workstationCode);

// The condition over ESTLOTE.LABORATORIO that admits the given laboratories, compared in upper
// case (a to z only); empty for no laboratory. Quotes inside a name are doubled.
QString LabScopeClause(const QStringList &labs);

// The user's workstation: sets WorkstationCode, the caption and the workstation connection and
// returns its DATBASNAM; empty, after telling the operator, when the user has no row.
QString FindWorkstation(data::TDM &dm, ScopeView &view, platform::Operator &op);

// The store's first laboratory in TABLAB, "Almoxarifado" when it has none.
QString PegaLaboratorio(data::TDM &dm, const QString &cnpj);

// StoreLaboratories (the first 20 of the store) and LabScopeClause built from them.
void BuildLabScope(data::TDM &dm, const QString &cnpj, platform::Operator &op);

// Opens ESTLOTE on the store's and the shared locations' lots. With an empty scope the
// statement is written to ErroEstoque.txt for support and nothing is opened.
void OpenFirstStockQuery(data::TDM &dm, const platform::WinPaths &paths, platform::Operator &op);

// StoreCnpj, Laboratory and the laboratory scope of the user found by FindWorkstation, then the
// first stock statement.
void SetUpScope(data::TDM &dm, const platform::WinPaths &paths, platform::Operator &op);

} // namespace users
