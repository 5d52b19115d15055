#include "MindManagerImpExp/MMImportPictures.h"

namespace {

// "mmarch://bin/a.png", "/bin/a.png" and "bin/a.png" name one member.
QString memberKey(QString uri)
{
    if (uri.startsWith(QLatin1String("mmarch://")))
        uri = uri.mid(9);
    while (uri.startsWith(u'/'))
        uri.remove(0, 1);
    return uri;
}

} // namespace

MMImportPictures::MMImportPictures(mmConverter::MemberReader members, Budget budget)
    : m_members(std::move(members)), m_budget(budget)
{}

bool MMImportPictures::counted()
{
    if (!m_refusal.isEmpty())
        return false;
    if (m_decoded >= m_budget.pictures) {
        m_refusal = QStringLiteral("it holds more than %1 pictures").arg(m_budget.pictures);
        return false;
    }
    ++m_decoded;
    return true;
}

std::optional<Image> MMImportPictures::pictureOf(const MMXMLBaseObject *imageData)
{
    const std::optional<QString> member = mmConverter::memberOfImageData(imageData);
    const std::lock_guard lock(m_mutex);
    if (!member) {
        // Base64 in the map, decoded where it stands.
        std::optional<Image> picture = mmConverter::imageFromImageData(imageData);
        return picture && counted() ? picture : std::nullopt;
    }
    const QString key = memberKey(*member);
    if (const auto found = m_byMember.constFind(key); found != m_byMember.cend())
        return *found;
    if (!m_members || !m_refusal.isEmpty())
        return std::nullopt;
    std::optional<QByteArray> bytes = m_members(*member);
    std::optional<Image> picture;
    if (bytes) {
        m_inflated += bytes->size();
        if (m_inflated > m_budget.inflatedBytes) {
            m_refusal = QStringLiteral("its pictures take more than %1 MB once inflated")
                            .arg(m_budget.inflatedBytes >> 20);
            return std::nullopt;
        }
        picture = mmConverter::imageFromBytes(*bytes);
        if (picture && !counted())
            return std::nullopt;
    }
    m_byMember.insert(key, picture);
    return picture;
}

QString MMImportPictures::refusal() const
{
    const std::lock_guard lock(m_mutex);
    return m_refusal;
}

qint64 MMImportPictures::inflatedBytes() const
{
    const std::lock_guard lock(m_mutex);
    return m_inflated;
}

int MMImportPictures::decodedPictures() const
{
    const std::lock_guard lock(m_mutex);
    return m_decoded;
}
