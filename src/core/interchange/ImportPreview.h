#pragma once

#include "core/interchange/ImportPlan.h"

#include <QObject>
#include <QString>

#include <thread>

namespace zv::interchange {

// Reads an import file and compares it with the catalogue on a thread of its own, so that the
// window keeps reacting over a large file, and reports on the thread that made this object.
class ImportPreview : public QObject
{
    Q_OBJECT

public:
    ImportPreview(QString path, QString cataloguePath, ShownNames shown, QObject *parent = nullptr);
    // Waits for what still runs; its report goes with this object.
    ~ImportPreview() override;

    void start();
    // After finished() without a failure: the plan.
    ImportPlan takePlan() { return std::move(m_plan); }

signals:
    // `failure`: why the file cannot be imported, in Russian, or empty.
    void finished(const QString &failure);

private:
    QString m_path;
    QString m_cataloguePath;
    ShownNames m_shown;
    ImportPlan m_plan;
    std::thread m_thread;
};

} // namespace zv::interchange
