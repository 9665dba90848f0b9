// The bar chart of the expiry summary: the cost value of each horizon, stacked by location.
#pragma once
#include "expiry/expiry.h"

#include <QColor>
#include <QWidget>

namespace expiry_ui {

class ExpiryChart : public QWidget {
    Q_OBJECT
public:
    explicit ExpiryChart(QWidget *parent = nullptr);
    void setSummary(const expiry::Summary *summary);   // null draws an empty chart
    // The colour of the n-th location, as the bars and the legend show it.
    static QColor locationColour(int n);
    QSize sizeHint() const override { return {600, 170}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    const expiry::Summary *m_summary = nullptr;
};

} // namespace expiry_ui
