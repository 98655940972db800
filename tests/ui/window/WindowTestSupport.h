// The harness of the main-window tests: the real window on the offscreen
// platform, the simulated camera in the same process, a private settings
// file whose images go straight into a temporary folder, and recorded
// message boxes.
#ifndef QUILLOMAT_TESTS_UI_WINDOW_WINDOWTESTSUPPORT_H
#define QUILLOMAT_TESTS_UI_WINDOW_WINDOWTESTSUPPORT_H

#include "CDezedoRavovadDlg.h"
#include "FormatSize.h"
#include "RecordingPrompts.h"
#include "SimControl.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

inline QString text(const QWidget *widget)
{
    return widget->property("text").toString();
}

inline QStringList entries(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_settingsFile = m_folder.filePath(QStringLiteral("settings.conf"));
        m_images = m_folder.filePath(QStringLiteral("images"));
        // Images straight into the test's folder, no date levels.
        QSettings settings(m_settingsFile, QSettings::NativeFormat);
        settings.beginGroup(QStringLiteral("100"));
        settings.setValue(QStringLiteral("BaseDirectory"), m_images);
        settings.setValue(QStringLiteral("YearSubDir"), 0u);
        settings.setValue(QStringLiteral("MonthSubDir"), 0u);
        settings.setValue(QStringLiteral("DaySubDir"), 0u);
    }

    void TearDown() override
    {
        m_window.reset();
        simcam::SimConfig detached = simcam::SimConfig::forModel("EOS D60");
        detached.attached = false;
        simcam::configureCamera(detached);
    }

    // A quick camera of the model with `extra` configuration keys.
    void attachCamera(const std::string &model, const std::string &extra = {})
    {
        simcam::SimConfig config = simcam::SimConfig::forModel(model);
        config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
        std::string error;
        ASSERT_TRUE(config.apply(extra, &error)) << error;
        simcam::configureCamera(config);
    }

    void detachCamera()
    {
        simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
        config.attached = false;
        simcam::configureCamera(config);
    }

    void storeSetting(const char *name, const QVariant &value)
    {
        QSettings settings(m_settingsFile, QSettings::NativeFormat);
        settings.setValue(QStringLiteral("100/") + QString::fromLatin1(name), value);
    }

    QVariant storedSetting(const char *name)
    {
        QSettings settings(m_settingsFile, QSettings::NativeFormat);
        return settings.value(QStringLiteral("100/") + QString::fromLatin1(name));
    }

    CDezedoRavovadDlg &open(int screenHeight = 1024, int screenWidth = 1280)
    {
        WindowServices services;
        services.prompts = &m_prompts;
        services.settingsFile = m_settingsFile;
        services.cameraConfig.settleTime = std::chrono::milliseconds(0);
        services.connectPause = std::chrono::milliseconds(0);
        services.screenHeight = [screenHeight] { return screenHeight; };
        services.screenWidth = [screenWidth] { return screenWidth; };
        m_window = std::make_unique<CDezedoRavovadDlg>(services);
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        return *m_window;
    }

    template <typename T = QWidget>
    T *find(const char *name)
    {
        T *widget = m_window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QAction *action(const char *name) { return find<QAction>(name); }

    // Waits (processing events) until the status line reads `expected`.
    bool waitForStatus(const QString &expected, int timeoutMs = 10000)
    {
        QLineEdit *status = find<QLineEdit>("statusLine");
        return QTest::qWaitFor([&] { return status->text() == expected; }, timeoutMs);
    }

    QTemporaryDir m_folder;
    QString m_settingsFile;
    QString m_images;
    RecordingPrompts m_prompts;
    std::unique_ptr<CDezedoRavovadDlg> m_window;
};

// exiftool, the independent reader of what the program writes into its files.
inline bool haveExiftool()
{
    return std::system("exiftool -ver > /dev/null 2>&1") == 0;
}

// One tag of a file as exiftool prints it (-s3: the value alone).
inline std::string exiftool(const QString &file, const char *tag)
{
    const std::string command = std::string("exiftool -s3 -") + tag + " '" + file.toStdString() + "' 2>/dev/null";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    ::pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Waits, processing events, until the window has saved `count` images and is idle again.
inline bool waitForShots(const CDezedoRavovadDlg &window, size_t count, int timeoutMs = 15000)
{
    return QTest::qWaitFor([&] { return window.imageList().size() >= count && !window.isBusy(); }, timeoutMs);
}

#endif
