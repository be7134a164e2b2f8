#pragma once
// Whether a store of the user's data (the storyboard, the settings) is being
// written now: the end of the program waits for one under way (up to its
// cap, app/EndBackstop.h), so that a slow disk does not cost the end's
// store. A store is written whole or not at all (UnfinishedStores.h), so
// an end that cannot wait leaves the old file as it was.
//
// Any thread.

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

} // namespace ViewModel
