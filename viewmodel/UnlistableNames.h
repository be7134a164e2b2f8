#pragma once
// What the file dialog says under a folder it shows that holds files whose
// names are not UTF-8 text: Qt's dialog cannot list them (nor the user
// pick them), so they are named as a folder added whole names what it left
// out, each with why. Any thread; bounded by the looks' patience.

#include <QString>
#include <QStringList>

namespace ViewModel {

// The note for `folder`, naming the entries whose names are not UTF-8 text
// and match one of `patterns` (the dialog's name filters, "*.jpg"; all of
// them when empty); empty when there are none or the listing did not
// answer.
QString unlistableNamesNote(const QString& folder, const QStringList& patterns);

} // namespace ViewModel
