#pragma once
// A look at a folder made with Qt (which may wait for it: a share that
// hangs) as a call of the library that its caller can give up
// (files/DTAbandonableCall.h): the path is first walked one name at a time,
// so that the call counts on the file system it asks, a link into a share
// included, and the look then asks the last of them again. A share that
// hangs so keeps at most a few calls waiting, looks and reads together,
// and refuses the next at once; a look on another disk is made as ever.
// Any thread; `look` must own whatever it uses.

#include "files/DTAbandonableCall.h"
#include "files/DTFileRefusal.h"
#include "files/DTPathWalk.h"

#include <QFile>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace ViewModel {

// What `look` gave, within the caller's scope (files/DTReadInterruption.h)
// and `patience` (zero: the scope's); throws what abandonable_call throws
// when given up or refused.
template <class Result>
Result abandonableFolderLook(const QString& folder, std::function<Result()> look,
                  std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero())
{
    const std::string path = QFile::encodeName(folder).toStdString();
    return kestrel::abandonable_call<Result>(
        path,
        [path, look](kestrel::call_steps& steps) {
            const kestrel::located_path located = kestrel::locate_path(path, true, steps);
            if (located.refusal != kestrel::file_refusal::none)
                KESTREL_THROW(kestrel::refusal_failure(located.refusal));
            return look();
        },
        patience);
}

// The program's maker of the toolkit's patient looks (componentmodel/
// PatientLook.h): an abandonableFolderLook, nothing when it was given up
// or refused.
std::optional<QString> patientFolderLook(const QString& path, std::chrono::milliseconds patience,
                                         std::function<QString()> look);

} // namespace ViewModel
