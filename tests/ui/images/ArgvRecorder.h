// A real program for the editor tests: record-argv.sh, installed under any
// name in a temporary folder, writes the arguments of each start to a file
// that the test reads back.
#ifndef QUILLOMAT_TESTS_UI_IMAGES_ARGVRECORDER_H
#define QUILLOMAT_TESTS_UI_IMAGES_ARGVRECORDER_H

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

class ArgvRecorder {
public:
    ArgvRecorder()
    {
        QDir(m_folder.path()).mkpath(QStringLiteral("records"));
        qputenv("QUILLOMAT_ARGV_DIR", QFile::encodeName(recordsFolder()));
    }
    ~ArgvRecorder() { qunsetenv("QUILLOMAT_ARGV_DIR"); }
    ArgvRecorder(const ArgvRecorder &) = delete;
    ArgvRecorder &operator=(const ArgvRecorder &) = delete;

    QString folder() const { return m_folder.path(); }

    // Copies the recorder to `relativePath` under folder(), executable, and
    // returns its full path.
    QString install(const QString &relativePath) const
    {
        const QString target = m_folder.filePath(relativePath);
        QDir().mkpath(QFileInfo(target).path());
        QFile::remove(target);
        if (!QFile::copy(QStringLiteral(QUILLOMAT_RECORD_ARGV_SCRIPT), target))
            return QString();
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                          | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        return target;
    }

    // Each start's lines: the path the script was run by, then its arguments
    // (argv[1] on). Ordered by their last argument.
    std::vector<QStringList> records() const
    {
        std::vector<QStringList> result;
        const QDir records(recordsFolder());
        for (const QString &name : records.entryList({QStringLiteral("argv.*")}, QDir::Files)) {
            QFile file(records.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QString text = QString::fromLocal8Bit(file.readAll());
            if (text.endsWith(QLatin1Char('\n')))
                text.chop(1);
            result.push_back(text.split(QLatin1Char('\n')));
        }
        std::sort(result.begin(), result.end(),
                  [](const QStringList &a, const QStringList &b) { return a.last() < b.last(); });
        return result;
    }

    // Waits until `count` starts were recorded (or ten seconds passed).
    bool waitForRecords(size_t count) const
    {
        for (int i = 0; i < 1000; ++i) {
            if (records().size() >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    QString recordsFolder() const { return m_folder.filePath(QStringLiteral("records")); }

    QTemporaryDir m_folder;
};

#endif
