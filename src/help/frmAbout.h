#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QWidget;

namespace db {
class Connection;
}

// The About box: product name and version, the data-access layer's version, the program's
// icon. A fixed-size tool window, closed by Esc, Enter or its close button.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    // owner: the window the box is modal over; mainWindow: the window it is centred on.
    frmAbout(QWidget* owner, QWidget* mainWindow, const QString& dataAccessVersion);

    // Where the box's outer frame goes: centred on the main window's outer frame.
    static QPoint centredOn(const QRect& mainFrame, const QSize& outerSize);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void Form_Load(const QString& dataAccessVersion);
    void placeOnMainWindow();

    QWidget* m_mainWindow;
    QFrame* Frame1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblADO = nullptr;
};

// The data-access layer's version text: the connection's, or the layer's own when the
// program has no connection yet.
QString dataAccessVersion(const db::Connection* connection);

// The About menu item of any window: shows the box modally over owner, centred on
// mainWindow (the owner when there is none), and returns when it is closed.
void ShowAboutBox(QWidget* owner, QWidget* mainWindow, const db::Connection* connection);
