#include "HelpPageOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace {

const QString kXdgOpen = QStringLiteral("xdg-open");
// xdg-open's status when no program for the file's type was found.
constexpr int kXdgOpenNoTool = 3;

}  // namespace

HelpPageOpener::HelpPageOpener(QObject *parent) : QObject(parent) {}

QString HelpPageOpener::noBrowserText()
{
    return QStringLiteral("Neither xdg-open (xdg-utils) nor a web browser is installed.");
}

QString HelpPageOpener::xdgOpenFailedText(int exitCode)
{
    if (exitCode == kXdgOpenNoTool)
        return QStringLiteral("xdg-open found no program for web pages: install a web browser or set one as the "
                              "default.");
    return QStringLiteral("xdg-open could not open it (exit status %1).").arg(exitCode);
}

void HelpPageOpener::open(const QString &path)
{
    // Not a child of ours: closing the window must not end a browser that
    // xdg-open runs in the foreground. It deletes itself when it ends.
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    ++m_running;
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QProcess::finished, this, [this, path](int exitCode, QProcess::ExitStatus exitStatus) {
        --m_running;
        if (exitStatus == QProcess::CrashExit)
            emit failed(path, QStringLiteral("xdg-open ended abnormally."));
        else if (exitCode != 0)
            emit failed(path, xdgOpenFailedText(exitCode));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, path](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        --m_running;
        process->deleteLater();
        openWithoutXdgOpen(path);
    });
    process->start(kXdgOpen, {path});
}

void HelpPageOpener::openWithoutXdgOpen(const QString &path)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        emit failed(path, noBrowserText());
}
