// Panels of the main window that lie over the grid instead of opening a window of their own.
#pragma once

class QWidget;

namespace browser_ui {

// Sizes the panel to its contents, centres it over target (both children of the same window, or
// target being that window) and shows it on top of everything else there.
void showCentredOver(QWidget *panel, QWidget *target);

// However the panel comes to be hidden (its own button, Esc, a refused code), a focus it holds
// goes back to placeOwner, the grid it lies over, instead of on to the next control of the
// window: the search box would take that as being entered and start a new search.
void keepPlaceOnHide(QWidget *panel, QWidget *placeOwner);

} // namespace browser_ui
