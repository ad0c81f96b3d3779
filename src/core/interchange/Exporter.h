#pragma once

#include "core/interchange/ExportWriters.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace zv::interchange {

// What to export: one entry, one category or the whole catalogue, in which format, where.
struct ExportRequest
{
    enum class Scope { Entry, Category, Catalogue };

    QString cataloguePath;
    QString pictureFolder; // the screenshot folder the pictures are taken from
    Scope scope = Scope::Catalogue;
    QString table;     // of Entry and Category
    qint64 rowId = -1; // of Entry
    Format format = Format::Json;
    bool withPictures = true;
    // The folder to make; it must not exist yet.
    QString target;
};

enum class ExportOutcome { Written, Cancelled, Failed };

struct ExportResult
{
    ExportOutcome outcome = ExportOutcome::Failed;
    QString failure; // of Failed, in Russian
    int entries = 0;
};

// Writes the export into a hidden folder beside the target and renames it at the end, so that
// a cancelled or failed export leaves nothing behind. `progress` hears (done, total) entries;
// `cancel`, once set, stops it. Any thread may run it: it opens its own connection.
ExportResult runExport(const ExportRequest &request, const std::function<void(int, int)> &progress,
                       const std::atomic_bool *cancel);

// runExport on a thread of its own, reporting on the thread that made this object.
class ExportJob : public QObject
{
    Q_OBJECT

public:
    explicit ExportJob(ExportRequest request, QObject *parent = nullptr);
    // Cancels what still runs and waits for it.
    ~ExportJob() override;

    void start();
    void cancel() { m_cancel = true; }

signals:
    void progress(int done, int total);
    void finished(const zv::interchange::ExportResult &result);

private:
    ExportRequest m_request;
    std::atomic_bool m_cancel = false;
    std::thread m_thread;
};

} // namespace zv::interchange
