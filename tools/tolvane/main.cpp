// Tolvane registers the camera runtime on this machine, or removes that
// registration: "tolvane install", "tolvane remove". Anything else shows how
// to call it. The exit status is always 0.
#include "TolvaneCommand.h"
#include "psdkreg.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

namespace {

bool isSet(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether a message box can be shown to someone who can dismiss it. An
// offscreen or minimal platform would leave an invisible box waiting for ever.
bool canShowBox()
{
    if (isSet("QT_QPA_PLATFORM")) {
        const char *platform = std::getenv("QT_QPA_PLATFORM");
        return std::strncmp(platform, "offscreen", 9) != 0 && std::strncmp(platform, "minimal", 7) != 0;
    }
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

void printUsage()
{
    std::fprintf(stderr, "%s\n", kTolvaneUsage);
}

// Shows the box from a child process: when the display cannot be opened Qt
// ends that process, and the text still reaches the user on standard error.
void showUsage(const char *programName)
{
    if (!canShowBox()) {
        printUsage();
        return;
    }
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0) {
        printUsage();
        return;
    }
    if (child == 0) {
        // Qt gets only the program name: the user's arguments are not Qt options.
        int qtArgc = 1;
        char *qtArgv[] = {const_cast<char *>(programName), nullptr};
        QApplication app(qtArgc, qtArgv);
        QMessageBox box(QMessageBox::Information, QString::fromUtf8(kTolvaneCaption),
                        QString::fromUtf8(kTolvaneUsage), QMessageBox::Ok);
        box.exec();
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            printUsage();
            return;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        printUsage();
}

} // namespace

int main(int argc, char *argv[])
{
    switch (parseTolvaneCommand(tolvaneCommandLine(argc, argv))) {
    case TolvaneAction::Install:
        // The registration library reports nothing the user could act on here.
        SetPSDKRegRuntime();
        break;
    case TolvaneAction::Remove:
        RemovePSDKRegRuntime();
        break;
    case TolvaneAction::Usage:
        showUsage(argc > 0 && argv[0] != nullptr ? argv[0] : "tolvane");
        break;
    }
    return 0;
}
