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

namespace ViewModel {

// `removed`: the folder held since the making began is gone (see
// kestrel::unfinished_video::folder_removed()).
QString outputFolderProblem(const QString& folder, int error, bool removed = false);

} // namespace ViewModel
