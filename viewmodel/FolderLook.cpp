#include "viewmodel/FolderLook.h"

#include <exception>

namespace ViewModel {

std::optional<QString> patientFolderLook(const QString& path, std::chrono::milliseconds patience,
                                         std::function<QString()> look)
{
    try {
        return abandonableFolderLook<QString>(path, std::move(look), patience);
    } catch (const std::exception&) {
        // Given up, refused, or interrupted by the program's end.
        return std::nullopt;
    }
}

} // namespace ViewModel
