#include "core/interchange/Exporter.h"

#include "core/LetterCase.h"
#include "core/interchange/ExportFiles.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/session/EntryPictures.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

namespace zv::interchange {

namespace {

// The picture folder's names, folded and sorted, to learn at once that an entry has none: the
// exact rule (which also asks the catalogue) runs only for entries that may have some.
class PictureFolder
{
public:
    explicit PictureFolder(const QString &folder)
    {
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            m_folded.push_back(foldCase(name));
        std::sort(m_folded.begin(), m_folded.end());
    }
    bool mayHave(const QString &entry) const
    {
        for (const QString &form : screenshots::pictureForms(entry)) {
            const QString folded = foldCase(form);
            const auto at = std::lower_bound(m_folded.cbegin(), m_folded.cend(), folded);
            if (at != m_folded.cend() && at->startsWith(folded))
                return true;
        }
        return false;
    }

private:
    std::vector<QString> m_folded;
};

QList<Category> categoriesOf(const ExportRequest &request)
{
    if (request.scope == ExportRequest::Scope::Catalogue)
        return categories();
    const auto category = categoryByTable(request.table);
    if (!category)
        throw ExportFailure(QStringLiteral("Неизвестный раздел «") + request.table + QStringLiteral("»."));
    return {*category};
}

int entryCount(const CatalogueConnection &db, const ExportRequest &request, const QList<Category> &chosen)
{
    if (request.scope == ExportRequest::Scope::Entry)
        return 1;
    int total = 0;
    for (const Category &category : chosen)
        total += int(CountEntries(db, category.table));
    return total;
}

void copyPictures(const QString &from, const QString &to, const QStringList &pictures)
{
    for (const QString &picture : pictures) {
        const QString target = to + QLatin1Char('/') + picture;
        if (!QFile::exists(target) && !QFile::copy(from + QLatin1Char('/') + picture, target))
            throw ExportFailure(QStringLiteral("Не удалось скопировать скриншот «") + picture + QStringLiteral("»."));
    }
}

// Writes the export into `folder`; false when cancelled.
bool writeExport(const ExportRequest &request, const QString &folder, const std::function<void(int, int)> &progress,
                 const std::atomic_bool *cancel, int &written)
{
    const CatalogueConnection db = OpenCatalogue(request.cataloguePath);
    const QList<Category> chosen = categoriesOf(request);
    const int total = entryCount(db, request, chosen);
    const std::unique_ptr<FormatWriter> writer = makeWriter(request.format, folder);
    const PictureFolder pictures(request.withPictures ? request.pictureFolder : QString());
    const QString pictureTarget = folder + QLatin1Char('/') + kPictureFolder;
    if (request.withPictures && !QDir().mkpath(pictureTarget))
        throw ExportFailure(QStringLiteral("Не удалось создать папку для скриншотов."));
    bool stopped = false;
    for (const Category &category : chosen) {
        bool begun = false;
        ListEntryRows(db, category.table, [&](qint64 rowId, const QString &name, const QString &text) {
            if (stopped || (request.scope == ExportRequest::Scope::Entry && rowId != request.rowId))
                return;
            if (cancel && *cancel) {
                stopped = true;
                return;
            }
            if (!begun) {
                writer->beginCategory(category);
                begun = true;
            }
            Entry entry{category.table, name, text, {}};
            if (request.withPictures && pictures.mayHave(name)) {
                entry.pictures = ownPictures(db, request.pictureFolder, category.table, rowId, name);
                copyPictures(request.pictureFolder, pictureTarget, entry.pictures);
            }
            writer->addEntry(entry);
            ++written;
            if (progress)
                progress(written, total);
        });
        if (stopped)
            return false;
        if (begun)
            writer->endCategory();
    }
    if (request.scope == ExportRequest::Scope::Entry && written == 0)
        throw ExportFailure(QStringLiteral("Этой записи больше нет в каталоге."));
    writer->finish();
    return true;
}

} // namespace

ExportResult runExport(const ExportRequest &request, const std::function<void(int, int)> &progress,
                       const std::atomic_bool *cancel)
{
    ExportResult result;
    const QFileInfo target(request.target);
    if (target.exists() || target.isSymLink()) {
        result.failure =
            QStringLiteral("«") + target.fileName() + QStringLiteral("» уже есть в этой папке; выберите другое имя.");
        return result;
    }
    // Beside the target, so that the rename at the end stays on one disk.
    QTemporaryDir work(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral("-XXXXXX"));
    if (!work.isValid()) {
        result.failure = QStringLiteral("Не удалось создать папку в «") + target.absolutePath() +
                         QStringLiteral("»: ") + work.errorString();
        return result;
    }
    try {
        if (!writeExport(request, work.path(), progress, cancel, result.entries)) {
            result.outcome = ExportOutcome::Cancelled;
            return result;
        }
    } catch (const ExportFailure &failure) {
        result.failure = failure.message();
        return result;
    } catch (const CatalogueError &error) {
        result.failure = error.message();
        return result;
    }
    if (!QDir().rename(work.path(), target.absoluteFilePath())) {
        result.failure = QStringLiteral("Не удалось дать папке имя «") + target.fileName() + QStringLiteral("».");
        return result;
    }
    work.setAutoRemove(false);
    result.outcome = ExportOutcome::Written;
    return result;
}

ExportJob::ExportJob(ExportRequest request, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
{
}

ExportJob::~ExportJob()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void ExportJob::start()
{
    m_thread = std::thread([this] {
        QElapsedTimer sinceShown;
        const auto progressed = [&](int done, int total) {
            // A few times a second is all a progress bar needs.
            if (done != total && sinceShown.isValid() && sinceShown.elapsed() < 50)
                return;
            sinceShown.start();
            QMetaObject::invokeMethod(
                this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
        };
        const ExportResult result = runExport(m_request, progressed, &m_cancel);
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                m_thread.join();
                emit finished(result);
            },
            Qt::QueuedConnection);
    });
}

} // namespace zv::interchange
