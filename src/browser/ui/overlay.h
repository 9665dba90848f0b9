// Panels of the main window that lie over the grid instead of opening a window of their own.
#pragma once

class QWidget;

namespace browser_ui {

// Sizes the panel to its contents, centres it over target (both children of the same window, or
// target being that window) and shows it on top of everything else there.
void showCentredOver(QWidget *panel, QWidget *target);

} // namespace browser_ui
