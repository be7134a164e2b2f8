#pragma once
// Why the slideshow's name cannot name its video in the output folder, in
// the user's words, or empty when it can. The name is taken as the file
// helpers clean it (FileHelpers::sanitizeFileName). It may not begin with
// a dot (the video would be a hidden file: "." and ".." among them) nor
// hold a NUL (the name would end there), and it must leave room, within the
// longest file name the folder's file system takes (NAME_MAX, 255 bytes
// where that cannot be asked), for the extension and the number that a
// taken name gets (" (9999)"). A name too long is told how many of its
// characters (as the user counts them) a file name can hold.
// Translated in the context "ViewModel::SlideshowNameProblem".

#include <QString>

namespace ViewModel {

QString slideshowNameProblem(const QString& name, const QString& extension, const QString& folder);

} // namespace ViewModel
