#pragma once
// A store of the user's data writes its new content to a temporary file
// beside its file ("<name>.XXXXXX", Qt's QSaveFile and the settings'
// drafts) and renames it over the file once whole; a settings file is
// written under its lock ("<name>.lock"), and a draft of it under Qt's
// own lock and save ("<name>.XXXXXX.lock", "<name>.XXXXXX.XXXXXX"). A store
// cut short (a forced end, a crash) leaves these behind, which a later
// start removes: only while no other run of the program lives
// (componentmodel/RunFolder.h), since a run that is ending may be writing
// one still after a new start has begun; and a lock only where no live
// process holds it. Any thread.

class QString;

namespace ViewModel {

// Removes what stores of `path` cut short left beside it: regular files
// named as above, nothing else.
void removeUnfinishedStores(const QString& path);

} // namespace ViewModel
