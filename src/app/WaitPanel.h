#pragma once

#include "common/OperationFeedback.h"

#include <QFrame>
#include <QString>
#include <array>

class QEventLoop;
class QKeyEvent;
class QLabel;
class QTextEdit;
class QProgressBar;
class QPushButton;

// The busy and message panel that floats over the main window: a picture, a progress bar,
// a message and OK / Cancel. As a prompt it waits in a nested event loop for a button.
class WaitPanel : public QFrame {
    Q_OBJECT
public:
    explicit WaitPanel(QWidget* parent);

    // Loads Tolvan001.jpg ... Tolvan005.jpg from the first folder that has any.
    int LoadWaitPictures(const QStringList& folders, const QString& title);
    void ShowRandomWaitPicture();

    void setButtons(bool okEnabled, bool cancelEnabled);
    void setMessage(const QString& text);
    QString message() const;
    // Waits until OK or Cancel is pressed.
    PanelAnswer waitForAnswer();

    QProgressBar* progressBar() const { return ProgressBar1; }
    QPushButton* okButton() const { return cmdOK; }
    QPushButton* cancelButton() const { return cmdCancel; }

signals:
    // Cancel pressed: an import or export under way may want to stop.
    void cancelPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void answer(PanelAnswer value);
    // Grows the message box (and the panel) until the whole text shows, within the window.
    void fitMessage();
    // The progress bar and the message below the picture, or at the top without one.
    void layoutControls();

    int m_designMessageHeight = 0;

    std::array<QLabel*, 5> imgWait{};
    QProgressBar* ProgressBar1 = nullptr;
    QTextEdit* txtMessage = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    int m_pictureCount = 0;
    PanelAnswer m_answer = PanelAnswer::Ok;
    QEventLoop* m_loop = nullptr;
};
