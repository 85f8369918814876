#include "app/settingsstore.h"

#include <QStringList>

namespace qm {

SettingsStore::SettingsStore()
{
#ifdef Q_OS_WIN
    settings_ = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\Quillmere"),
                                            QSettings::NativeFormat);
#else
    settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Quillmere"), QStringLiteral("Quillmere"));
#endif
}

SettingsStore::SettingsStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

QString SettingsStore::existingKey(const QString& name) const
{
    const QStringList keys = settings_->allKeys();
    for (const QString& key : keys)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return key;
    return {};
}

std::optional<QString> SettingsStore::read(const QString& name) const
{
    const QString key = existingKey(name);
    if (key.isEmpty())
        return std::nullopt;
    const QString value = settings_->value(key).toString();
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

void SettingsStore::write(const QString& name, const QString& value)
{
    const QString key = existingKey(name);
    if (!key.isEmpty() && key != name)
        settings_->remove(key);
    settings_->setValue(name, value);
    settings_->sync();
}

void WriteMtfToolSize(SettingsStore& store, int width, int height)
{
    store.write(QStringLiteral("MTFToolWidth"), QString::number(width));
    store.write(QStringLiteral("MTFtoolheight"), QString::number(height));
}

} // namespace qm
