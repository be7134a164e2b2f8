#include "viewmodel/StoresInFlight.h"

#include <atomic>

namespace ViewModel {

namespace {

std::atomic<int> storesWritten{0};

} // namespace

StoreInFlight::StoreInFlight() { storesWritten.fetch_add(1); }

StoreInFlight::~StoreInFlight() { storesWritten.fetch_sub(1); }

bool storeInFlight() { return storesWritten.load() > 0; }

} // namespace ViewModel
