#pragma once
// A store of the user's data writes its new content to a temporary file
// beside its file ("<name>.XXXXXX", Qt's QSaveFile and settings) and
// renames it over the file once whole; a store cut short (a forced end, a
// crash) leaves that file behind, which a later start removes: only while
// no other run of the program lives (componentmodel/RunFolder.h), since a
// run that is ending may be writing one still after a new start has
// begun. Any thread.

class QString;

namespace ViewModel {

// Removes what stores of `path` cut short left beside it: regular files
// named as its name, a dot and six letters or digits, nothing else.
void removeUnfinishedStores(const QString& path);

} // namespace ViewModel
