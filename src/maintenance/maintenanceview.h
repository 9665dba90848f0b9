// What the maintenance operations change in the main window, so they run and are tested without one.
#pragma once
#include <QString>

namespace data {
class TDM;
}
namespace platform {
class Clock;
class Operator;
}

namespace maintenance {

class MaintenanceView {
public:
    virtual ~MaintenanceView() = default;
    virtual void setEditButtonVisible(bool visible) = 0;   // BitBtn3 "Editar tabela"
    virtual void startGauge(int maximum) = 0;              // Termometro at 0 and shown
    virtual void advanceGauge(int position) = 0;
    virtual void hideGauge() = 0;
    virtual void setCaption(const QString &text) = 0;      // the window's title
    virtual void repaintWindow() = 0;
};

struct Context {
    data::TDM &dm;
    MaintenanceView &view;
    platform::Operator &op;
    const platform::Clock &clock;
};

} // namespace maintenance
