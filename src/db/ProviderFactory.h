#pragma once

#include "Backend.h"

#include <memory>

namespace db {

// Picks the backend for a connection string's provider; fills errors and returns null when
// the provider or its driver is not installed.
std::unique_ptr<Backend> createBackend(const LoginParams& login, ErrorList& errors);

} // namespace db
