#pragma once
// What keeps a video from being written into its output folder, in the
// user's words and naming the folder: from the errno that a file operation
// there gave (a folder that is missing, is a file, may not be written, is on
// a read-only drive or a full disk, ...). A missing folder is never made
// here: the user chose it, and it may be on a drive that is not plugged in.
// Translated in the context "ViewModel::OutputFolderProblem". GUI thread.

#include <QString>

namespace ViewModel {

QString outputFolderProblem(const QString& folder, int error);

} // namespace ViewModel
