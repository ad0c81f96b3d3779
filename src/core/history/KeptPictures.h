#pragma once

#include <QString>

#include <vector>

namespace zv::history {

// The pictures the history keeps, in a folder of their own, each under a key made from its
// content: the same picture kept by several changes is one file.
class KeptPictures
{
public:
    explicit KeptPictures(QString folder)
        : m_folder(std::move(folder))
    {
    }

    // The key of the content of the file `path`, or an empty text when it cannot be read.
    static QString keyOf(const QString &path);
    // Keeps a copy of the file `path`; returns its key, or an empty text with `failure` set.
    QString keep(const QString &path, QString *failure = nullptr);
    // Writes the kept picture `key` into `folder` as `fileName`; the reason in Russian on failure.
    QString restore(const QString &key, const QString &folder, const QString &fileName) const;
    bool has(const QString &key) const;
    // Bytes taken by the kept pictures.
    qint64 bytes() const;
    // Removes the kept pictures whose keys are not in `inUse`.
    void removeAllBut(const std::vector<QString> &inUse) const;

private:
    QString m_folder;
};

} // namespace zv::history
