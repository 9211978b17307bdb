#pragma once
// The grid's pictures, drawn by the program itself: the status balls and the account-column
// marks for owners, administrators and the remote administrator.
#include <QPixmap>

namespace kov {

enum class AccountIcon { None, Admin, Owner, RemoteAdmin };

// Status image list: 0 green ball, 1 yellow ball, 2 cyan ball; a null pixmap otherwise.
const QPixmap& StatusIcon(int status);
const QPixmap& AccountIconPixmap(AccountIcon icon);

}  // namespace kov
