#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

class QSettings;

// The user's preferences: values registered at start-up, overlaid by the
// values the user stored, which live in an INI file through QSettings. Keys
// are flat: "/" and "\" in a key are escaped, so they never make groups.
// Typed reads convert like the platform did (a stored "YES" or "1" is true, a
// missing integer is 0). Main thread only.
class UserDefaults : public QObject
{
    Q_OBJECT

public:
    // Stores into the INI file at `path` (tests use a temporary one).
    explicit UserDefaults(const QString &path, QObject *parent = nullptr);
    ~UserDefaults() override;

    // The user's own defaults, unless a Scope has put another instance in place.
    static UserDefaults &standard();

    // Puts another instance in place of standard() while the guard lives.
    class Scope
    {
    public:
        explicit Scope(UserDefaults *defaults);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        UserDefaults *m_previous;
    };

    // Adds to the registered values; a value the user stored still wins.
    void registerDefaults(const QVariantMap &defaults);
    QVariantMap registeredDefaults() const { return m_registered; }

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant objectForKey(const QString &key) const;
    bool hasStoredValue(const QString &key) const;
    QString stringForKey(const QString &key) const; // null when absent
    long long integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;

    // Storing an invalid QVariant removes the stored value.
    void setObject(const QVariant &value, const QString &key);
    void setInteger(long long value, const QString &key) { setObject(value, key); }
    void setDouble(double value, const QString &key) { setObject(value, key); }
    void setBool(bool value, const QString &key) { setObject(value, key); }
    void setString(const QString &value, const QString &key) { setObject(value, key); }
    void removeObjectForKey(const QString &key);

    // Keys with a stored value.
    QStringList storedKeys() const;

    // Writes pending changes to the file; false (with a warning) when that fails.
    bool synchronize();

    static QString escapeKey(const QString &key);
    static QString unescapeKey(const QString &storedKey);

signals:
    // The value that objectForKey() answers for `key` has changed.
    void changed(const QString &key);

private:
    UserDefaults(std::unique_ptr<QSettings> settings);

    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
};
