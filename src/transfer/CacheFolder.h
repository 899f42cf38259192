#pragma once

#include <QString>

// The per-user cache folder of the program ($XDG_CACHE_HOME/Tolvan/), ending with "/". It is
// created when missing; "" when it cannot be.
QString userCacheFolder();
