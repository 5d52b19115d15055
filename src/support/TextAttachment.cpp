#include "support/TextAttachment.h"

#include <QUuid>

TextAttachment TextAttachment::linkBackAttachment(std::optional<FileWrapper> fileWrapper,
                                                  const QVariant &linkBackData,
                                                  const QString &linkBackItemKey)
{
    TextAttachment attachment(std::move(fileWrapper));
    attachment.m_isLinkBack = true;
    attachment.m_linkBackData = linkBackData;
    attachment.setLinkBackItemKey(linkBackItemKey);
    return attachment;
}

void TextAttachment::setLinkBackItemKey(const QString &key)
{
    m_linkBackItemKey = key.isEmpty() && m_isLinkBack ? uniqueItemKey() : key;
}

QString TextAttachment::uniqueItemKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
