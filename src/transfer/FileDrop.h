#pragma once

#include "common/OperationFeedback.h"
#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>
#include <functional>

// The separator a dropped file is imported with: "," for a name ending in ".CSV", a tab for
// ".TAB", in any letter case; "" for anything else and for paths of five characters or fewer.
QString dropSeparator(const QString& path);

// Imports one dropped file into the table behind the result on screen with the window locked,
// as ImportFile does, or refuses it with a message.
void ImportDroppedFile(db::Recordset* result, db::Connection* connection,
                       TransferFeedback& feedback, const QString& path,
                       const std::function<void()>& reread);
