#include "LoginPrompts.h"

#include "options/SettingsStore.h"
#include "widgets/FileDialogFilter.h"

#include <QFileDialog>
#include <QMessageBox>

void QtLoginPrompts::showMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, kApplicationName, text, QMessageBox::Ok);
}

QString QtLoginPrompts::openFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), dialogFilter(filter));
}
