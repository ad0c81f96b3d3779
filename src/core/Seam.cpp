#include "core/Seam.h"

#include <QProcess>

namespace zv {

namespace {
Seam *g_installed = nullptr;
} // namespace

Seam &seam()
{
    if (!g_installed)
        qFatal("zv::seam: no seam installed");
    return *g_installed;
}

Seam *setSeam(Seam *replacement)
{
    Seam *previous = g_installed;
    g_installed = replacement;
    return previous;
}

bool startCommandLine(const QString &commandLine)
{
    QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty())
        return false;
    const QString program = parts.takeFirst();
    return seam().startProcess(program, parts);
}

} // namespace zv
