#pragma once

#include <QString>

class QWidget;

// The dialogs the connection dialog opens: a seam, so that tests answer them from a script.
class LoginPrompts {
public:
    virtual ~LoginPrompts() = default;
    // A message box titled with the application name, with an OK button only.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // An open-file dialog; the chosen full path, or "" when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
};

class QtLoginPrompts : public LoginPrompts {
public:
    void showMessage(QWidget* parent, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override;
};
