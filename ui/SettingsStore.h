// Loads the user's preferences once at start-up and saves them once at exit.
//
// They live in QSettings (organisation VantorelSystems, application Quillomat,
// group "100"). Numbers are stored as 32-bit unsigned values, texts as text.
// A value that is missing, unreadable as its type, or a text longer than 511
// characters leaves the default in place; no failure is ever reported to the
// user.
#ifndef QUILLOMAT_UI_SETTINGSSTORE_H
#define QUILLOMAT_UI_SETTINGSSTORE_H

#include "Settings.h"
#include "SettingsControls.h"

#include <QString>

#include <memory>

class QSettings;

class SettingsStore {
public:
    // The user's own settings.
    SettingsStore();
    // Settings kept in `fileName` in the native format (used by tests).
    explicit SettingsStore(QString fileName);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // Sets the defaults, then replaces each one that is stored, in a fixed
    // order; controls are set as their values are read, the ISO list last.
    // Returns false when the settings could not be opened (the defaults stand);
    // the window has nothing to do about that.
    bool loadSettings(Settings &settings, SettingsControls &controls) const;
    // Writes every setting, the control-held ones as the controls show them now.
    // Returns false when nothing could be written.
    bool saveSettings(const Settings &settings, const SettingsControls &controls) const;

    // Longest text read back; a longer stored text is not read.
    static constexpr int kMaxTextLength = 511;

private:
    std::unique_ptr<QSettings> open() const;

    const QString m_fileName;  // empty: the user's settings
};

#endif
