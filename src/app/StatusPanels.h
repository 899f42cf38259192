#pragma once

#include <QLabel>
#include <QStatusBar>
#include <array>

// One panel of the status bar. Its text stays whole; what does not fit is painted cut off
// with "…".
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The width that shows the whole text.
    int wantedWidth() const;
    bool isElided() const;
    // The text as painted.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The bar is placed anew at every count a loop shows: a text unchanged is measured once.
    mutable QString m_measuredText;
    mutable int m_measuredWidth = -1;
    mutable QFont m_measuredFont;
};

// The status bar with the panels "database", "user", "datagrid" and "status" in a row. Each
// panel has its designed width while everything fits; the last one takes the rest. When the
// texts do not fit, the first three give way down to what their texts need, then every panel
// shrinks in proportion, so that no panel covers another and none disappears. A panel whose
// text is cut off shows it whole in its tool tip ("datagrid" keeps the tip its owner sets),
// with the panel's note below.
class StatusPanels : public QStatusBar {
    Q_OBJECT
public:
    // The panels in their order.
    enum Panel { Database, User, DataGrid, Status };

    StatusPanels(QWidget* parent, const std::array<int, 4>& designWidthsTwips);

    StatusPanel* panel(int index) const { return m_panels[size_t(index)]; }
    // The panel at the right end that sums up the grid's selected cells; hidden while it has
    // no text, and never wider than half the bar.
    StatusPanel* selectionPanel() const { return m_selection; }
    // A line the panel's tool tip always shows, below its text when that is cut off.
    void setNote(int index, const QString& note);
    // Places the panels anew; runs by itself on resizes and text changes.
    void placePanels();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<StatusPanel*, 4> m_panels{};
    StatusPanel* m_selection = nullptr;
    std::array<int, 4> m_designWidths{};
    std::array<QString, 4> m_notes;
};
