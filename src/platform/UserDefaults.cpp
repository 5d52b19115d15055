#include "platform/UserDefaults.h"

#include "platform/CFormat.h"
#include "platform/VariantTypes.h"

#include <cmath>
#include <limits>
#include <optional>

#include <QDebug>
#include <QLocale>
#include <QSettings>

namespace {
UserDefaults *g_override = nullptr;
using VariantTypes::NumberKind;
} // namespace

UserDefaults::UserDefaults(const QString &path, QObject *parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{}

UserDefaults::UserDefaults(std::unique_ptr<QSettings> settings) : m_settings(std::move(settings)) {}

UserDefaults::~UserDefaults()
{
    m_settings->sync();
}

UserDefaults &UserDefaults::standard()
{
    if (g_override)
        return *g_override;
    static UserDefaults defaults(std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, "Thinkweb", "Thinkweb"));
    return defaults;
}

UserDefaults::Scope::Scope(UserDefaults *defaults) : m_previous(g_override)
{
    g_override = defaults;
}

UserDefaults::Scope::~Scope()
{
    g_override = m_previous;
}

QString UserDefaults::escapeKey(const QString &key)
{
    // QSettings reads "/" and "\" as group separators; "%" is escaped so the
    // escaping itself round-trips.
    QString out;
    out.reserve(key.size());
    for (QChar c : key) {
        if (c == u'%')
            out += "%25";
        else if (c == u'/')
            out += "%2F";
        else if (c == u'\\')
            out += "%5C";
        else
            out += c;
    }
    return out;
}

QString UserDefaults::unescapeKey(const QString &stored)
{
    QString out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == u'%' && i + 2 < stored.size()) {
            const QStringView code = QStringView(stored).mid(i + 1, 2);
            if (code == u"25" || code == u"2F" || code == u"5C") {
                out += code == u"25" ? u'%' : code == u"2F" ? u'/' : u'\\';
                i += 2;
                continue;
            }
        }
        out += stored[i];
    }
    return out;
}

void UserDefaults::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        const QVariant before = objectForKey(it.key());
        m_registered.insert(it.key(), it.value());
        if (!hasStoredValue(it.key()) && before != it.value())
            emit changed(it.key());
    }
}

bool UserDefaults::hasStoredValue(const QString &key) const
{
    return !key.isEmpty() && m_settings->contains(escapeKey(key));
}

QVariant UserDefaults::objectForKey(const QString &key) const
{
    if (key.isEmpty())
        return {};
    const QString stored = escapeKey(key);
    if (m_settings->contains(stored))
        return m_settings->value(stored);
    return m_registered.value(key);
}

QString UserDefaults::stringForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    switch (VariantTypes::numberKind(v)) {
    case NumberKind::Integer:
        return v.toString();
    case NumberKind::Real:
        return CFormat::format("%g", v.toDouble());
    default:
        return QString();
    }
}

namespace {

// The INI file gives booleans back as the text "true" or "false".
std::optional<bool> storedBoolean(const QString &text)
{
    const QString s = text.trimmed();
    if (s.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

long long saturatedInteger(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 9.2233720368547758e18)
        return std::numeric_limits<long long>::max();
    if (v <= -9.2233720368547758e18)
        return std::numeric_limits<long long>::min();
    return static_cast<long long>(v);
}

} // namespace

long long UserDefaults::integerForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    switch (VariantTypes::numberKind(v)) {
    case NumberKind::Boolean:
        return v.toBool() ? 1 : 0;
    case NumberKind::Integer:
        return v.toLongLong();
    case NumberKind::Real:
        return saturatedInteger(v.toDouble());
    default:
        break;
    }
    if (v.typeId() == QMetaType::QString) {
        if (const std::optional<bool> b = storedBoolean(v.toString()))
            return *b ? 1 : 0;
        return CFormat::longLongValue(v.toString());
    }
    return 0;
}

double UserDefaults::doubleForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    switch (VariantTypes::numberKind(v)) {
    case NumberKind::Boolean:
        return v.toBool() ? 1 : 0;
    case NumberKind::Integer:
    case NumberKind::Real:
        return v.toDouble();
    default:
        break;
    }
    if (v.typeId() == QMetaType::QString) {
        if (const std::optional<bool> b = storedBoolean(v.toString()))
            return *b ? 1 : 0;
        return CFormat::doubleValue(v.toString());
    }
    return 0;
}

bool UserDefaults::boolForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    switch (VariantTypes::numberKind(v)) {
    case NumberKind::Boolean:
        return v.toBool();
    case NumberKind::Integer:
    case NumberKind::Real:
        return v.toDouble() != 0;
    default:
        break;
    }
    if (v.typeId() == QMetaType::QString) {
        if (const std::optional<bool> b = storedBoolean(v.toString()))
            return *b;
        // The file gives a stored real back as text; its leading "0." must
        // not read as false.
        bool isNumber = false;
        const double number = QLocale::c().toDouble(v.toString().trimmed(), &isNumber);
        if (isNumber)
            return number != 0;
        return CFormat::boolValue(v.toString());
    }
    return false;
}

void UserDefaults::setObject(const QVariant &value, const QString &key)
{
    if (key.isEmpty()) {
        qWarning("UserDefaults: a value cannot be stored under an empty key");
        return;
    }
    if (!value.isValid()) {
        removeObjectForKey(key);
        return;
    }
    const QVariant before = objectForKey(key);
    m_settings->setValue(escapeKey(key), value);
    if (before != objectForKey(key))
        emit changed(key);
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    if (!hasStoredValue(key))
        return;
    const QVariant before = objectForKey(key);
    m_settings->remove(escapeKey(key));
    if (before != objectForKey(key))
        emit changed(key);
}

QStringList UserDefaults::storedKeys() const
{
    QStringList keys;
    for (const QString &k : m_settings->allKeys())
        keys << unescapeKey(k);
    return keys;
}

bool UserDefaults::synchronize()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        qWarning().noquote() << "UserDefaults: could not write" << m_settings->fileName();
        return false;
    }
    return true;
}
