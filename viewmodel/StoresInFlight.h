#pragma once
// Whether a store of the user's data (the storyboard, the settings) is being
// written now: the end of the program waits for one under way (up to its
// cap, app/EndBackstop.h), so that a slow disk does not cost the end's
// store. A store is written whole or not at all, so an end that cannot
// wait leaves the old file as it was.
//
// A store writes its new content to a temporary file beside its file
// ("<name>.XXXXXX", Qt's QSaveFile) and renames it over the file once
// whole; a store cut short (a forced end, a crash) leaves that file behind,
// which the next start removes.
//
// Any thread.

class QString;

namespace ViewModel {

// Stands while its store is written.
class StoreInFlight {
public:
    StoreInFlight();
    ~StoreInFlight();
    StoreInFlight(const StoreInFlight&) = delete;
    StoreInFlight& operator=(const StoreInFlight&) = delete;
};

bool storeInFlight();

// Removes what stores of `path` cut short left beside it: regular files
// named as its name, a dot and six letters or digits, nothing else.
void removeUnfinishedStores(const QString& path);

} // namespace ViewModel
