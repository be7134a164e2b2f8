// The storyboard file's reader on hostile bytes: whatever entries it reads,
// writing them and reading the written document must give them back, one
// for one, as the program relies on when it saves what it restored.

#include "viewmodel/StoryboardFile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace ViewModel;

namespace {

bool same(const QList<StoryboardEntry>& a, const QList<StoryboardEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].filePath != b[i].filePath || a[i].settings != b[i].settings)
            return false;
    return true;
}

// The reader's warnings would swamp the fuzzer's output.
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QtMessageHandler previous = qInstallMessageHandler(&quiet);
    (void)previous;
    const QList<StoryboardEntry> read =
        StoryboardFile::fromXml(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const QList<StoryboardEntry> again = StoryboardFile::fromXml(StoryboardFile::toXml(read));
    if (!same(read, again))
        std::abort(); // what was written does not read back
    return 0;
}
