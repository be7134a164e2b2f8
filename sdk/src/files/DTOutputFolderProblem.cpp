#include "files/DTOutputFolderProblem.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace kestrel {

output_folder_cause output_folder_cause_of(const std::string& folder, int error, bool held_folder_removed) {
    if (held_folder_removed)
        return output_folder_cause::removed;
    switch (error) {
    case ENOENT:
        return output_folder_cause::missing;
    case ENOTDIR: {
        // A file (or a device) by that name; else a file stands in its path.
        struct stat status;
        return ::stat(folder.c_str(), &status) == 0 ? output_folder_cause::not_a_folder
                                                     : output_folder_cause::missing;
    }
    case EACCES:
    case EPERM:
        return output_folder_cause::not_permitted;
    case EROFS:
        return output_folder_cause::read_only;
    case ENOSPC:
    case EDQUOT:
        return output_folder_cause::disk_full;
    case EFBIG:
        return output_folder_cause::file_too_large;
    case ENAMETOOLONG:
        return output_folder_cause::path_too_long;
    default:
        return output_folder_cause::other;
    }
}

const char* output_folder_cause_words(output_folder_cause cause) {
    switch (cause) {
    case output_folder_cause::missing:
        return "The folder \"%1\" does not exist.";
    case output_folder_cause::removed:
        // True whether a folder of that name was made again or not.
        return "The folder \"%1\" was removed while the video was made; if a folder of that name is there again, "
               "make the video again.";
    case output_folder_cause::not_a_folder:
        return "\"%1\" is a file, not a folder.";
    case output_folder_cause::not_permitted:
        return "You may not write into the folder \"%1\".";
    case output_folder_cause::read_only:
        return "The folder \"%1\" is on a drive that can only be read.";
    case output_folder_cause::disk_full:
        return "The disk of the folder \"%1\" is full.";
    case output_folder_cause::file_too_large:
        return "The video grew larger than one file may be in the folder \"%1\".";
    case output_folder_cause::path_too_long:
        return "The path of the folder \"%1\" is too long.";
    case output_folder_cause::other:
        break;
    }
    return "Writing into the folder \"%1\" failed: %2.";
}

std::string output_folder_problem(const std::string& folder, int error, bool held_folder_removed) {
    const std::string words = output_folder_cause_words(output_folder_cause_of(folder, error, held_folder_removed));
    // In one pass, so that a folder's own "%2" stays as it is.
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == '%' && i + 1 < words.size() && (words[i + 1] == '1' || words[i + 1] == '2')) {
            text += words[i + 1] == '1' ? folder : std::generic_category().message(error);
            ++i;
        } else {
            text += words[i];
        }
    }
    return text;
}

} // namespace kestrel
