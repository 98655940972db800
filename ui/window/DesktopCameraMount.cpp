#include "DesktopCameraMount.h"

#include <QProcess>
#include <QRegularExpression>

namespace {

constexpr int kGioPatienceMs = 15000;

DesktopCameraMount::Run runGio(const QStringList &arguments)
{
    QProcess gio;
    gio.setProcessChannelMode(QProcess::MergedChannels);
    gio.start(QStringLiteral("gio"), arguments);
    DesktopCameraMount::Run run;
    if (!gio.waitForStarted() || !gio.waitForFinished(kGioPatienceMs)) {
        gio.kill();
        gio.waitForFinished();
        return run;
    }
    run.output = QString::fromLocal8Bit(gio.readAll());
    run.exitCode = gio.exitStatus() == QProcess::NormalExit ? gio.exitCode() : -1;
    return run;
}

} // namespace

DesktopCameraMount::DesktopCameraMount(Runner runner) : m_runner(runner ? std::move(runner) : Runner(runGio)) {}

QStringList DesktopCameraMount::cameraMounts(const QString &listing)
{
    // "Mount(0): Canon EOS D60 -> gphoto2://[usb:001,004]/"
    static const QRegularExpression mount(QStringLiteral("->\\s*(gphoto2://\\S+)"));
    QStringList uris;
    for (auto match = mount.globalMatch(listing); match.hasNext();) {
        const QString uri = match.next().captured(1);
        if (!uris.contains(uri))
            uris << uri;
    }
    return uris;
}

bool DesktopCameraMount::release() const
{
    const Run listing = m_runner({QStringLiteral("mount"), QStringLiteral("-l")});
    if (listing.exitCode != 0)
        return false;
    const QStringList mounts = cameraMounts(listing.output);
    bool released = !mounts.isEmpty();
    for (const QString &uri : mounts)
        released = m_runner({QStringLiteral("mount"), QStringLiteral("-u"), uri}).exitCode == 0 && released;
    return released;
}
