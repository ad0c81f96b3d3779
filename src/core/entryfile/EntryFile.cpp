#include "core/entryfile/EntryFile.h"

#include "core/Files.h"
#include "core/LetterCase.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/store/Category.h"
#include "core/update/UpdateLayout.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace zv::entryfile {

namespace {

const QString kManifest = QStringLiteral("manifest.json");
const QString kKind = QStringLiteral("zorvanell-entry");
constexpr int kFormat = 1;

QString quoted(const QString &name)
{
    return QStringLiteral("\"") + name + QStringLiteral("\"");
}

QString megabytes(qint64 bytes)
{
    return QString::number(bytes >> 20) + QStringLiteral(" MB");
}

la_ssize_t appendTo(struct archive *, void *data, const void *buffer, size_t length)
{
    static_cast<QByteArray *>(data)->append(static_cast<const char *>(buffer), qsizetype(length));
    return la_ssize_t(length);
}

bool addMember(struct archive *archive, const QString &name, const QByteArray &bytes, time_t time)
{
    const std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(), archive_entry_free);
    archive_entry_update_pathname_utf8(entry.get(), name.toUtf8().constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), bytes.size());
    archive_entry_set_mtime(entry.get(), time, 0);
    return archive_write_header(archive, entry.get()) == ARCHIVE_OK &&
           (bytes.isEmpty() || archive_write_data(archive, bytes.constData(), size_t(bytes.size())) == bytes.size());
}

// Names a Windows disk takes for its devices whatever follows the dot ("NUL.jpg", "com1.png").
bool isDeviceName(const QString &name)
{
    static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

// Why a member of this name is refused, or an empty text.
QString memberNameProblem(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')))
        return quoted(name) + QStringLiteral(" has an absolute name");
    const QStringList parts = name.split(QRegularExpression(QStringLiteral("[/\\\\]")));
    if (parts.contains(QStringLiteral("..")))
        return quoted(name) + QStringLiteral(" climbs out of the archive with \"..\"");
    if (parts.size() > 1)
        return quoted(name) + QStringLiteral(" lies in a folder");
    if (isDeviceName(name))
        return quoted(name) + QStringLiteral(" is a device name");
    if (!update::isPlainFileName(name))
        return quoted(name) + QStringLiteral(" cannot be a file name");
    return QString();
}

// Reads the member the archive stands at into `data`, at most `size` bytes as its header says.
QString readMember(struct archive *archive, const QString &name, qint64 size, QByteArray &data)
{
    data.reserve(qsizetype(size));
    char buffer[65536];
    for (;;) {
        const la_ssize_t n = archive_read_data(archive, buffer, sizeof buffer);
        if (n < 0)
            return quoted(name) + QStringLiteral(" cannot be unpacked: ") +
                   QString::fromUtf8(archive_error_string(archive));
        if (n == 0)
            break;
        // Counted as it comes, whatever the header said.
        if (data.size() + n > size)
            return quoted(name) + QStringLiteral(" holds more than its header says");
        data.append(buffer, qsizetype(n));
    }
    if (data.size() != size)
        return quoted(name) + QStringLiteral(" is cut short");
    return QString();
}

// What the archive unpacks to, counted without keeping it, up to a little past `cap`: a small
// file that would unpack to gigabytes (in a member or in a header) is refused before it is read.
qint64 unpackedSize(const QByteArray &bytes, qint64 cap)
{
    const std::unique_ptr<struct archive, decltype(&archive_read_free)> archive(archive_read_new(), archive_read_free);
    archive_read_support_filter_gzip(archive.get());
    archive_read_support_format_raw(archive.get());
    archive_entry *whole = nullptr;
    if (archive_read_open_memory(archive.get(), bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK ||
        archive_read_next_header(archive.get(), &whole) != ARCHIVE_OK)
        return 0; // the tar reader tells what is wrong with it
    qint64 total = 0;
    char buffer[65536];
    for (la_ssize_t n = 0; total <= cap && (n = archive_read_data(archive.get(), buffer, sizeof buffer)) > 0;)
        total += n;
    return total;
}

std::optional<Entry> fromManifest(const QByteArray &manifest, std::vector<Picture> &members, QString *why)
{
    const auto fail = [why](const QString &text) -> std::optional<Entry> {
        *why = text;
        return std::nullopt;
    };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(manifest, &error);
    if (error.error != QJsonParseError::NoError)
        return fail(QStringLiteral("manifest.json is not valid JSON: ") + error.errorString());
    const QJsonObject root = document.object();
    if (document.isArray() || root.contains(QStringLiteral("entries")))
        return fail(QStringLiteral("it holds more than one entry"));
    if (root.value(QStringLiteral("kind")) != kKind)
        return fail(QStringLiteral("manifest.json is not an entry file's"));
    if (root.value(QStringLiteral("format")) != kFormat)
        return fail(QStringLiteral("its format is not one this publisher reads (format 1)"));
    Entry entry;
    entry.table = root.value(QStringLiteral("category")).toString();
    entry.name = root.value(QStringLiteral("name")).toString();
    const QJsonValue text = root.value(QStringLiteral("text"));
    const QJsonValue pictures = root.value(QStringLiteral("pictures"));
    if (!categoryByTable(entry.table))
        return fail(QStringLiteral("unknown category ") + quoted(entry.table));
    if (entry.name.isEmpty() || !text.isString() || !pictures.isArray())
        return fail(QStringLiteral("manifest.json lacks the entry's name, text or pictures"));
    entry.text = text.toString();
    for (const QJsonValue &value : pictures.toArray()) {
        const QString fileName = value.toString();
        const auto member = std::find_if(members.begin(), members.end(),
                                         [&](const Picture &picture) { return picture.fileName == fileName; });
        if (!value.isString() || member == members.end())
            return fail(QStringLiteral("the picture ") + quoted(fileName) + QStringLiteral(" is not in the archive"));
        if (const QString problem = pictureProblem(entry.name, fileName, member->bytes); !problem.isEmpty())
            return fail(problem);
        entry.pictures.push_back(std::move(*member));
        members.erase(member);
    }
    if (!members.empty())
        return fail(quoted(members.front().fileName) + QStringLiteral(" is not listed in manifest.json"));
    return entry;
}

} // namespace

QString pictureProblem(const QString &entry, const QString &fileName, const QByteArray &bytes)
{
    const QString picture = QStringLiteral("the picture ") + quoted(fileName);
    if (!update::isPlainFileName(fileName) || isDeviceName(fileName))
        return picture + QStringLiteral(" cannot be a file name");
    if (!screenshots::belongsTo(fileName, entry))
        return picture + QStringLiteral(" is not named after the entry ") + quoted(entry);
    const QStringList kinds = screenshots::extensionsOfContent(bytes.left(16));
    if (kinds.isEmpty())
        return picture + QStringLiteral(" is not a picture");
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || !kinds.contains(fileName.mid(dot + 1).toLower()))
        return picture + QStringLiteral(" is named as another kind of picture than it is");
    return QString();
}

QByteArray entryFileBytes(const Entry &entry)
{
    QJsonArray pictures;
    qint64 total = 0;
    for (const Picture &picture : entry.pictures) {
        if (!pictureProblem(entry.name, picture.fileName, picture.bytes).isEmpty())
            return {};
        pictures.append(picture.fileName);
        total += picture.bytes.size();
    }
    const QByteArray manifest = QJsonDocument(QJsonObject{{QStringLiteral("kind"), kKind},
                                                          {QStringLiteral("format"), kFormat},
                                                          {QStringLiteral("category"), entry.table},
                                                          {QStringLiteral("name"), entry.name},
                                                          {QStringLiteral("text"), entry.text},
                                                          {QStringLiteral("pictures"), pictures}})
                                    .toJson(QJsonDocument::Indented);
    // What the reader would refuse is not written.
    if (entry.pictures.size() > size_t(kMaxPictures) || manifest.size() > kMaxManifestBytes ||
        total + manifest.size() > kMaxUnpackedBytes)
        return {};
    QByteArray bytes;
    const std::unique_ptr<struct archive, decltype(&archive_write_free)> archive(archive_write_new(),
                                                                                 archive_write_free);
    archive_write_set_format_pax_restricted(archive.get());
    archive_write_add_filter_gzip(archive.get());
    archive_write_set_bytes_in_last_block(archive.get(), 1);
    if (archive_write_open2(archive.get(), &bytes, nullptr, appendTo, nullptr, nullptr) != ARCHIVE_OK)
        return {};
    const time_t now = time_t(QDateTime::currentSecsSinceEpoch());
    bool written = addMember(archive.get(), kManifest, manifest, now);
    for (const Picture &picture : entry.pictures)
        written = written && addMember(archive.get(), picture.fileName, picture.bytes, now);
    if (archive_write_close(archive.get()) != ARCHIVE_OK || !written)
        return {};
    return bytes;
}

std::optional<Entry> readEntryFile(const QByteArray &bytes, QString *why)
{
    const auto fail = [why](const QString &text) -> std::optional<Entry> {
        *why = text;
        return std::nullopt;
    };
    if (bytes.size() > kMaxFileBytes)
        return fail(QStringLiteral("it is bigger than an entry file may be (") + megabytes(kMaxFileBytes) +
                    QLatin1Char(')'));
    // The headers of the files and the tar format's padding come on top of what they hold.
    if (unpackedSize(bytes, kMaxUnpackedBytes + (1 << 20)) > kMaxUnpackedBytes + (1 << 20))
        return fail(QStringLiteral("it would unpack to more than ") + megabytes(kMaxUnpackedBytes));
    const std::unique_ptr<struct archive, decltype(&archive_read_free)> archive(archive_read_new(), archive_read_free);
    archive_read_support_filter_gzip(archive.get());
    archive_read_support_format_tar(archive.get());
    // Names are UTF-8 whatever the locale the publisher runs in.
    archive_read_set_format_option(archive.get(), "tar", "hdrcharset", "UTF-8");
    if (archive_read_open_memory(archive.get(), bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK)
        return fail(QStringLiteral("it is not an entry file (a gzip-compressed tar archive)"));

    QByteArray manifest;
    bool haveManifest = false;
    std::vector<Picture> members;
    QSet<QString> seen;
    qint64 declared = 0;
    for (int count = 1;; ++count) {
        archive_entry *member = nullptr;
        const int status = archive_read_next_header(archive.get(), &member);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK)
            return fail(QStringLiteral("the archive is damaged: ") +
                        QString::fromUtf8(archive_error_string(archive.get())));
        if (count > kMaxPictures + 1)
            return fail(QStringLiteral("it holds more files than an entry file may (") +
                        QString::number(kMaxPictures + 1) + QLatin1Char(')'));
        const char *rawName = archive_entry_pathname_utf8(member);
        if (!rawName)
            return fail(QStringLiteral("a file name in it is not UTF-8"));
        const QString name = QString::fromUtf8(rawName);
        if (archive_entry_symlink(member) || archive_entry_hardlink(member))
            return fail(quoted(name) + QStringLiteral(" is a link"));
        if (archive_entry_filetype(member) == AE_IFDIR)
            return fail(quoted(name) + QStringLiteral(" is a folder"));
        if (archive_entry_filetype(member) != AE_IFREG)
            return fail(quoted(name) + QStringLiteral(" is a device or another special file"));
        if (const QString problem = memberNameProblem(name); !problem.isEmpty())
            return fail(problem);
        const bool isManifest = name == kManifest;
        if (isManifest && haveManifest)
            return fail(QStringLiteral("it holds more than one entry"));
        if (!seen.contains(foldCase(name)))
            seen.insert(foldCase(name));
        else
            return fail(quoted(name) + QStringLiteral(" is in it twice"));
        // The sizes the headers give are added up before a byte is unpacked.
        const qint64 size = archive_entry_size_is_set(member) ? archive_entry_size(member) : -1;
        if (size < 0 || (isManifest && size > kMaxManifestBytes) || declared + size > kMaxUnpackedBytes)
            return fail(QStringLiteral("it would unpack to more than ") + megabytes(kMaxUnpackedBytes) +
                        QStringLiteral(" (") + quoted(name) + QLatin1Char(')'));
        declared += size;
        QByteArray data;
        if (const QString problem = readMember(archive.get(), name, size, data); !problem.isEmpty())
            return fail(problem);
        if (isManifest) {
            manifest = std::move(data);
            haveManifest = true;
        } else {
            members.push_back({name, std::move(data)});
        }
    }
    if (!haveManifest)
        return fail(QStringLiteral("it has no manifest.json: not an entry file"));
    return fromManifest(manifest, members, why);
}

std::optional<Entry> loadEntryFile(const QString &path, QString *why)
{
    QFile file(path);
    if (!openRegularFile(file)) {
        *why = QStringLiteral("cannot be read as a file");
        return std::nullopt;
    }
    return readEntryFile(file.read(kMaxFileBytes + 1), why);
}

} // namespace zv::entryfile
