#include "LoginPrompts.h"

#include "SettingsStore.h"

#include <QFileDialog>
#include <QMessageBox>

void QtLoginPrompts::showMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, kApplicationName, text, QMessageBox::Ok);
}

namespace {
// "Text (*.a)|*.a|Other|*.b;*.c" -> "Text (*.a);;Other (*.b *.c)"
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        out << (parts[i].contains(QLatin1Char('('))
                    ? parts[i]
                    : parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}
} // namespace

QString QtLoginPrompts::openFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), qtFilter(filter));
}
