#pragma once

#include <QIcon>
#include <QString>

// The program's name and version, as the build gives them.
struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

ProgramVersion programVersion();

// The product's name: "Tolvan".
QString productName();

// "1.0.4": the numbers in decimal, not padded.
QString versionText(const ProgramVersion& v);

// The About box's title line: product name, " version ", major.minor.revision.
QString aboutTitleText(const QString& product, const ProgramVersion& v);

// The program's icon, for windows and the About box.
QIcon programIcon();
