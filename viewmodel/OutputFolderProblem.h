#pragma once
// What keeps a video from being written into its output folder, in the
// user's words and naming the folder: from the errno that a file operation
// there gave (a folder that is missing, was removed while the video was
// made, is a file, may not be written, is on a read-only drive or a full
// disk, ...), the engine's sentence for the cause followed by what to do in
// this program. A missing folder is never made here: the user chose it, and
// it may be on a drive that is not plugged in.
// Translated in the contexts "kestrel" (the cause) and
// "ViewModel::OutputFolderProblem" (what to do). GUI thread.

#include <QString>

#include <string>

namespace ViewModel {

// `folder` as the system's bytes, UTF-8 or not (named as shownPath() shows
// it); `removed`: the folder held since the making began is gone (see
// kestrel::unfinished_video::folder_removed()).
QString outputFolderProblem(const std::string& folder, int error, bool removed = false);
// The same for a folder the program holds as text.
QString outputFolderProblem(const QString& folder, int error, bool removed = false);

} // namespace ViewModel
