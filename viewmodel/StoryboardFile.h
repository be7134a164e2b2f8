#pragma once
// The storyboard file: the user's slide list kept from one run to the next,
// a small XML document in the per-user data folder whose full path the
// settings store keeps under "Storyboard/slides".
//
// As written: UTF-8, no declaration, LF line ends, indentation 4:
//     <Slides>
//         <Slide settings="..." filePath="..."/>
//     </Slides>
// or the one line <Slides/> for an empty storyboard. Attribute values escape
// < & " as &lt; &amp; &quot;, > as &gt; where it follows "]]", and tab, line
// feed and carriage return as &#x9; &#xa; &#xd;. A value holding a
// character that XML cannot carry (another control character, an unpaired
// surrogate, U+FFFE, U+FFFF) goes in escapedSettings or escapedFilePath
// instead, its backslashes doubled and each UTF-16 unit that XML cannot
// carry written as a backslash, "u" and four hex digits (U+0001 as
// backslash-u0001), so that every entry reads back as it was.
//
// As read: any XML document; every child element of the root in document
// order, whatever the names, gives its filePath and settings attributes
// (where one is absent, its escaped attribute unescaped; else empty). A
// damaged document gives the entries before the damage (for a UTF-8
// document, before its first byte that is not UTF-8);
// one that is not XML gives none. Of a file, the first 512 MiB are read.
// A document that does not read to its end (not well-formed, a byte that
// is not UTF-8, cut short, beyond the 512 MiB) is damaged; an empty one is
// not: it holds nothing to lose.
//
// A damaged stored file is kept as it was before anything can be saved over
// it: load copies it beside itself as "<name>.damaged" (or "<name>
// (2).damaged" and so on: an earlier copy is never replaced). When no copy
// can be made (a folder that cannot be written), the stored path is
// forgotten instead, so that the next save makes a new file and the damaged
// one stays untouched.
//
// A stored path where no regular file can be read (a folder, a named pipe,
// a device or terminal, a socket, a file that may not be read) is told, by
// what it is, and forgotten the same way: what stands there is never
// written over, and only a regular file is ever opened.
//
// Any thread, one at a time (the application's QSettings, written through
// SettingsStore): the storyboard saves on a thread of its own. Throws
// nothing.

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

namespace ViewModel {

struct StoryboardEntry {
    QString filePath;
    QString settings;
};

namespace StoryboardFile {

// What load found beyond the entries.
struct LoadDamage {
    bool damaged = false;
    // Where the damaged file is kept as it was: the copy, or the file
    // itself when no copy could be made. Empty for a clean file.
    QString keptAt;
    // The stored path; empty when none is stored.
    QString path;
    // Why what stands there could not be read, in plain words; empty when
    // it was read or is missing.
    QString unreadable;
};

// Why a save failed: the file and the cause in plain words.
struct SaveProblem {
    QString path;
    QString cause;
};

QByteArray toXml(const QList<StoryboardEntry>& entries);
// `damaged` (may be null) is set to whether the document was damaged.
QList<StoryboardEntry> fromXml(const QByteArray& document, bool* damaged = nullptr);
QList<StoryboardEntry> fromXml(QIODevice* device, bool* damaged = nullptr);

// Writes the entries to the stored path; while none is stored, to a new
// file named by a fresh UUID in the data folder (made with its parents).
// The file is replaced whole or not at all, and the path is stored once
// the new content is in place. False when nothing was written, with a log
// line and, in `problem` (may be null), the file and why.
bool save(const QList<StoryboardEntry>& entries, SaveProblem* problem = nullptr);
// The entries of the stored file; none when no path is stored or the file
// is missing, not a regular file, unreadable or not XML. A damaged file is
// kept (see above); `damage` (may be null) tells whether and where, and
// why a stored file could not be read.
//
// While the settings are kept out of the run (SettingsStore), no stored
// path reaches it from the run before: every such run shares one file in
// the data folder, which load takes as the stored path before it reads
// it (so the run's saves go there too, unless it is forgotten as above):
// "storyboard.xml", or "storyboard-2.xml" while a link or anything else
// but a regular file stands there; a fresh UUID file, with a log line
// saying why, only when neither name can serve. A link is never taken.
QList<StoryboardEntry> load(LoadDamage* damage = nullptr);

} // namespace StoryboardFile
} // namespace ViewModel
