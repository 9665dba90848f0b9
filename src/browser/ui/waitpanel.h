// PanelAguarde: "Aguarde por favor..." in the middle of the window while the lot grid reloads.
#pragma once
#include "common/stockquery.h"

#include <QFrame>

class QLabel;

namespace browser_ui {

class WaitPanel : public QFrame, public browser::WaitIndicator {
    Q_OBJECT
public:
    explicit WaitPanel(QWidget *window);

    QLabel *Caption;

    void showWait() override;
    void hideWait() override;
};

} // namespace browser_ui
