#include "support/BoundedFile.h"
#include "support/XMLDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A file of `size` bytes that takes no room on disk: the size is what the
// readers must look at before reading.
QString sparseFile(const QTemporaryDir &dir, const QString &name, qint64 size,
                   const QByteArray &start)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(start);
    EXPECT_TRUE(file.resize(size));
    return path;
}

} // namespace

TEST(BoundedFile, RefusesWhatNoFileOfItsKindHoldsBeforeReading)
{
    QTemporaryDir dir;
    const QByteArray xml = "<a/>";
    struct Case
    {
        qint64 size;
        qint64 maximum;
        bool read;
    };
    const Case cases[] = {
        {4, 4, true},
        {5, 4, false},
        {0, 0, true},
        // A 3 GB outline is refused, not loaded and then looked at.
        {qint64(3) << 30, BoundedFile::MaximumTextFileSize, false},
    };
    for (const Case &c : cases) {
        const QString path =
            sparseFile(dir, QStringLiteral("f%1").arg(c.size), c.size, xml.left(c.size));
        QString error;
        const std::optional<QByteArray> bytes = BoundedFile::read(path, c.maximum, &error);
        EXPECT_EQ(bytes.has_value(), c.read) << c.size;
        if (bytes)
            EXPECT_EQ(bytes->size(), c.size);
        else
            EXPECT_TRUE(error.contains(QString::number(c.maximum))) << error.toStdString();
    }
    QString error;
    EXPECT_FALSE(BoundedFile::read(dir.filePath("missing"), 10, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(BoundedFile::read(dir.path(), 10, &error)) << "a folder is not a file";
    // Files compiled into the program (shipped themes) read as any other.
    const QString shipped =
        QStringLiteral(":/Application Support/Thinkweb/Themes/00000000-THINK-WEB-DEFAULTTHEME.TWTheme");
    ASSERT_TRUE(QFile::exists(shipped));
    const std::optional<QByteArray> theme = BoundedFile::read(shipped, 1 << 20, &error);
    ASSERT_TRUE(theme) << error.toStdString();
    EXPECT_EQ(theme->size(), QFile(shipped).size());

    // The XML file reader (styles, themes, dictionaries) goes through it.
    const QString huge = sparseFile(dir, "huge.xml", BoundedFile::MaximumTextFileSize + 1, xml);
    error.clear();
    EXPECT_FALSE(XMLDocument::parseFile(huge, &error));
    EXPECT_TRUE(error.contains("larger")) << error.toStdString();
}

// What a file holds counts, not the size it reports: the system's own files
// report none, and a file may grow between the look and the read.
TEST(BoundedFile, RefusesWhatHoldsMoreThanItsReportedSize)
{
    const QString status = QStringLiteral("/proc/self/status");
    ASSERT_EQ(QFile(status).size(), 0) << "the case needs a file that reports no size";
    struct Case
    {
        const char *name;
        qint64 maximum;
        bool read;
    };
    const Case cases[] = {
        {"within the bound", 1 << 20, true},
        {"past the bound", 16, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const std::optional<QByteArray> bytes = BoundedFile::read(status, c.maximum, &error);
        ASSERT_EQ(bytes.has_value(), c.read) << error.toStdString();
        if (bytes)
            EXPECT_TRUE(bytes->startsWith("Name:")) << bytes->left(40).toStdString();
        else
            EXPECT_TRUE(error.contains(QString::number(c.maximum))) << error.toStdString();
    }
}
