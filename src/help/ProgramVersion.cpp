#include "ProgramVersion.h"

#include "HelpTexts.h"

// The name and the numbers come from project() in the top CMakeLists.txt, compiled into this
// file only.
ProgramVersion programVersion() {
    return {TOLVAN_VERSION_MAJOR, TOLVAN_VERSION_MINOR, TOLVAN_VERSION_PATCH};
}

QString productName() {
    return QStringLiteral(TOLVAN_PRODUCT_NAME);
}

QString versionText(const ProgramVersion& v) {
    return QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

QString aboutTitleText(const QString& product, const ProgramVersion& v) {
    return product + kVersionWord + versionText(v);
}

// The icon is compiled into this static library: register it before first use.
static void initProgramResources() {
    Q_INIT_RESOURCE(program);
}

QIcon programIcon() {
    initProgramResources();
    return QIcon(QStringLiteral(":/program/tolvan.svg"));
}
