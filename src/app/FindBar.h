#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The bar above the grid that finds a text in the result: Enter finds the next cell holding
// it, Shift+Enter the one before; it can also show the matching rows alone. Escape closes it.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent);

    QString text() const;
    bool matchCase() const;
    bool matchingRowsOnly() const;
    // Shows the bar with the focus in its field, the text selected.
    void open();

signals:
    void findNext();
    void findPrevious();
    // The text, the case or the filter changed: a shown filter is made again.
    void searchChanged();
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Escape on any control of the bar closes it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_field;
    QCheckBox* m_case;
    QCheckBox* m_filter;
};
