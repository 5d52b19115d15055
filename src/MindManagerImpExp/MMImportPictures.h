#pragma once

#include "MindManagerImpExp/mmConverter.h"
#include "support/Image.h"

#include <QHash>
#include <QString>
#include <mutex>
#include <optional>

class MMXMLBaseObject;

// The pictures of one import. A picture kept as an archive member is
// inflated and decoded once, however many topics name it, and every topic
// shares that one picture (its bytes and its decoded pixels). The whole
// import has a budget: the bytes inflated from members in total and the
// pictures decoded. Past either, no further picture is made and refusal()
// says why, for the import to be refused. Safe to use from several threads.
// What one import may spend on pictures.
struct MMPictureBudget
{
    qint64 inflatedBytes = qint64(1) << 30;
    int pictures = 100000;
};

class MMImportPictures
{
public:
    using Budget = MMPictureBudget;

    explicit MMImportPictures(mmConverter::MemberReader members = {}, Budget budget = {});

    // The picture of an ap:ImageData element (or a subclass), as
    // mmConverter::imageFromImageData makes it.
    std::optional<Image> pictureOf(const MMXMLBaseObject *imageData);

    // Why the import went past its budget; empty while within it.
    QString refusal() const;
    qint64 inflatedBytes() const;
    int decodedPictures() const;

private:
    // Counts a picture made; false, with the refusal, past the budget.
    bool counted();

    mmConverter::MemberReader m_members;
    Budget m_budget;
    mutable std::mutex m_mutex;
    QHash<QString, std::optional<Image>> m_byMember;
    qint64 m_inflated = 0;
    int m_decoded = 0;
    QString m_refusal;
};
