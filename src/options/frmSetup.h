#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The options dialog: reads the seven options when it opens, checks the two numbers and
// writes everything on "設定"; "キャンセル" writes nothing.
class frmSetup : public QDialog {
    Q_OBJECT
public:
    // showMessage shows a message box titled with the application name (replaceable in tests).
    explicit frmSetup(QWidget* mainWindow,
                      std::function<void(QWidget*, const QString&)> showMessage = {});

    void cmdSet_Click();
    void cmdCancel_Click();

private:
    void buildControls();
    void Form_Load(QWidget* mainWindow);

    std::function<void(QWidget*, const QString&)> m_showMessage;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check6 = nullptr; // Null shown as the word
    QCheckBox* Check5 = nullptr;
    QLineEdit* txtTimeout = nullptr;
    QLineEdit* txtOption3 = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdCancel = nullptr;
};
