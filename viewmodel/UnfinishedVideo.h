#pragma once
// A video while it is made: written under a hidden temporary name in its
// output folder (".lumivista-unfinished-" and eight hexadecimal digits) and
// given the result's name only once it is complete, so that a stopped,
// failed or killed production never leaves a file among the user's videos
// under a normal name. What a killed run left behind is removed the next
// time a video is made in that folder. The temporary name is what older
// runs left too: keep it.
//
// Failures are errno values, 0 for none. Owns its file: going, it removes
// a file still unfinished. GUI thread.

#include <QString>

namespace ViewModel {

class UnfinishedVideo {
public:
    UnfinishedVideo() = default;
    ~UnfinishedVideo();
    UnfinishedVideo(const UnfinishedVideo&) = delete;
    UnfinishedVideo& operator=(const UnfinishedVideo&) = delete;

    // Removes the files that killed runs left in `folder`, then creates an
    // empty file under a new temporary name there.
    int create(const QString& folder);
    // Empty before create() and after finishAs() or discard().
    QString path() const { return path_; }
    // Gives the complete file the name `resultPath`, never replacing a file
    // of that name: EEXIST when the name was taken meanwhile.
    int finishAs(const QString& resultPath);
    // Removes the file while it is unfinished.
    void discard();

    // Whether `folder` takes a new file and some data (as much as the
    // writer buffers): writes one under a temporary name and removes it.
    static int probe(const QString& folder);

private:
    QString path_;
};

} // namespace ViewModel
