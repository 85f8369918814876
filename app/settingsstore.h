#pragma once
// The per-user settings: string values under the key Software\Quillmere (the
// registry on Windows, an INI file elsewhere), whose names match without regard
// to letter case, so "Screenresolution" read and "ScreenResolution" written are
// one value.

#include <QSettings>
#include <QString>

#include <memory>
#include <optional>

namespace qm {

class SettingsStore {
public:
    // The user's own store.
    SettingsStore();
    // A store in the given INI file (tests, portable use).
    explicit SettingsStore(const QString& iniFile);

    // The value under any spelling of name; nullopt when absent or empty.
    std::optional<QString> read(const QString& name) const;
    // Writes under exactly this spelling, replacing the value of any other spelling.
    void write(const QString& name, const QString& value);

private:
    QString existingKey(const QString& name) const;
    std::unique_ptr<QSettings> settings_;
};

// The MTF window's outer size, under the names the settings have always used.
void WriteMtfToolSize(SettingsStore& store, int width, int height);

} // namespace qm
