#pragma once
#include <QString>

// Where file dialogs start. Each purpose remembers, in the settings (LWSettings), the folder of
// the last file written or read for it successfully; a dialog that was cancelled or whose file
// then failed changes nothing. A first use, or a remembered folder gone since, starts in the
// user's Documents folder, or home where that does not exist. Main thread only.
namespace LWFolders {

enum class Purpose { designs, pictures, exports };

[[nodiscard]] QString start(Purpose purpose);
// Remembers the folder holding `file` for the purpose; call it once `file` was written or read.
void remember(Purpose purpose, const QString &file);

} // namespace LWFolders
