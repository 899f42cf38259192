#pragma once

#include <QIcon>
#include <QString>

// The program's version, as the build gives it.
struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

ProgramVersion programVersion();

// "1.0.4": the numbers in decimal, not padded.
QString versionText(const ProgramVersion& v);

// The About box's title line: product name, " version ", major.minor.revision.
QString aboutTitleText(const QString& product, const ProgramVersion& v);

// The program's icon, for windows and the About box.
QIcon programIcon();
