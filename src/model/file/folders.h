#pragma once
#include <QString>

// Where file dialogs start. Each purpose remembers the folder last chosen for it in the settings
// (LWSettings); a first use, or a remembered folder gone since, starts in the user's Documents
// folder, or home where that does not exist. Main thread only.
namespace LWFolders {

enum class Purpose { designs, pictures, exports };

[[nodiscard]] QString start(Purpose purpose);
// Remembers the folder holding `chosenFile` for the purpose.
void remember(Purpose purpose, const QString &chosenFile);

} // namespace LWFolders
