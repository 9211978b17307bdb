#pragma once
#include <string>

#include "store/ReadAcc.h"

namespace kov {

// Lays the sections of the account-update file over the table: an account the table holds
// (found by its exact name) is updated and marked changed, any other is added as new.
ReadResult ReadAccountUpdateFile(AccountTable& table, const std::string& path,
                                 const ReadOptions& options = {});

}  // namespace kov
