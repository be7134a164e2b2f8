#pragma once
// Why a file of the user's (the storyboard, the settings) could not be
// stored, in plain words for the message that names it: "a folder is in
// the way", "the folder is read-only", "the disk is full", ... And the
// memory that has each such message told once: again only when the cause
// changed or a store worked in between.
// Translated in the context "ViewModel::StoreProblem". storeProblem: any
// thread; a ProblemMemory: one thread. Throws nothing.

#include <QString>

namespace ViewModel {

// Why writing the file at `path` failed. The place tells first (what stands
// at the path, whether its folder exists and may be written, whether the
// disk has room): it does not depend on which step failed. Then `error`,
// the errno of the failed step (0 when unknown), and last `fallback`.
QString storeProblem(const QString& path, int error, const QString& fallback);

// The disk `path` lies on, named by the folder it is mounted at (the
// closest folder on the way up that another file system does not hold);
// `path` itself when nothing there can be looked at.
QString diskOf(const QString& path);

class ProblemMemory {
public:
    // Whether `message` should be told now; it counts as told from here on.
    bool isNew(const QString& message)
    {
        if (message == told_)
            return false;
        told_ = message;
        return true;
    }
    void storeWorked() { told_.clear(); }

private:
    QString told_;
};

} // namespace ViewModel
