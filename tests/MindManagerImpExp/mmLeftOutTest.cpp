// What a map holds that has no place here is counted, so that the user is
// told once what was not imported.
#include "MMImportTestSupport.h"

#include <QDir>
#include <functional>

namespace {

using MMImportTest::ImportFixture;
using MMImportTest::mapWithTopic;

QString topic(const QString &oid, const QString &inside = QString())
{
    return QStringLiteral("<ap:Topic OId=\"%1\"><ap:Text PlainText=\"%1\"/>%2</ap:Topic>")
        .arg(oid, inside);
}

QString relationship(const QString &from, const QString &to)
{
    const QString end = QStringLiteral(
        "<ap:ConnectionGroup Index=\"%1\"><ap:Connection><ap:ObjectReference OIdRef=\"%2\"/>"
        "</ap:Connection></ap:ConnectionGroup>");
    return QStringLiteral("<ap:Relationship>%1%2</ap:Relationship>")
        .arg(end.arg(0).arg(from), end.arg(1).arg(to));
}

QString backgroundObject(const QString &oid)
{
    return QStringLiteral("<ap:BackgroundObject OId=\"%1\"><ap:Text PlainText=\"box\"/>"
                          "<ap:Shape OId=\"%1-shape\"/></ap:BackgroundObject>")
        .arg(oid);
}

const QString Attachment = QStringLiteral(
    "<ap:AttachmentData AttachmentId=\"a\" FileName=\"a.c\"><cor:Base64>aGk=</cor:Base64>"
    "<ap:TextLabel TextLabelName=\"not a tag\"/></ap:AttachmentData>");
const QString Tag = QStringLiteral("<ap:TextLabel TextLabelName=\"Tag\"/>");

QString notesWithPictures(int pictures)
{
    QString images;
    for (int i = 0; i < pictures; ++i)
        images += QStringLiteral("<img src=\"mmnotes://%1.png\"/>").arg(i);
    return QStringLiteral("<ap:NotesGroup><ap:NotesXhtmlData><html "
                          "xmlns=\"http://www.w3.org/1999/xhtml\"><p>see %1</p></html>"
                          "</ap:NotesXhtmlData></ap:NotesGroup>")
        .arg(images);
}

} // namespace

TEST_F(ImportFixture, WhatHasNoPlaceIsCountedAndNamed)
{
    const struct
    {
        const char *what;
        QString topics, after;
        MMLeftOut counted;
        const char *message;
    } cases[] = {
        {"a map with everything in place", topic("a"), {}, {}, ""},
        {"attachments of two topics",
         topic("a", "<ap:AttachmentGroup>" + Attachment + Attachment + "</ap:AttachmentGroup>") +
             topic("b", "<ap:AttachmentGroup>" + Attachment + "</ap:AttachmentGroup>"),
         {},
         {3, 0, 0, 0, 0},
         "3 attachments were not imported: this map has no place for them."},
        {"one tag",
         topic("a", "<ap:TextLabels>" + Tag + "</ap:TextLabels>"),
         {},
         {0, 1, 0, 0, 0},
         "1 tag was not imported: this map has no place for them."},
        {"background objects and the relationships to them",
         topic("a") + topic("b"),
         "<ap:BackgroundObjects>" + backgroundObject("bg1") + backgroundObject("bg2") +
             "</ap:BackgroundObjects><ap:Relationships>" + relationship("a", "bg1") +
             relationship("bg2-shape", "b") + relationship("a", "b") +
             relationship("a", "elsewhere") + "</ap:Relationships>",
         {0, 0, 2, 2, 0},
         "2 background objects and 2 relationships to them were not imported: this map has no "
         "place for them."},
        {"pictures in notes",
         topic("a", notesWithPictures(2)) + topic("b", notesWithPictures(0)),
         {},
         {0, 0, 0, 0, 2},
         "2 pictures in notes were not imported: this map has no place for them."},
        {"floating topics, which come in as branches",
         topic("a", "<ap:FloatingTopics>" + topic("f1") + "</ap:FloatingTopics>") + topic("b"),
         {},
         {0, 0, 0, 0, 0, 1},
         "1 floating topic became a branch of the topic it floated beside."},
        {"every kind at once",
         topic("a", notesWithPictures(1) + "<ap:AttachmentGroup>" + Attachment +
                        "</ap:AttachmentGroup><ap:TextLabels>" + Tag + Tag + "</ap:TextLabels>"),
         "<ap:BackgroundObjects>" + backgroundObject("bg") + "</ap:BackgroundObjects>",
         {1, 2, 1, 0, 1},
         "1 attachment, 2 tags, 1 background object and 1 picture in notes were not imported: "
         "this map has no place for them."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = freshDocument();
        MMLeftOut leftOut;
        leftOut.tags = -1; // overwritten by the import
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            *doc->maps().first(),
            mmImpExpController::sourceForData(
                mapWithTopic("<ap:Text PlainText=\"centre\"/><ap:SubTopics>" + c.topics +
                                 "</ap:SubTopics>",
                             c.after),
                QStringLiteral("map.xml")),
            &leftOut));
        EXPECT_EQ(leftOut, c.counted);
        EXPECT_EQ(leftOut.message(), QString::fromUtf8(c.message));
        // What has a place comes in as before.
        std::function<qsizetype(const TWMapBranch &)> below = [&below](const TWMapBranch &b) {
            qsizetype n = b.children().size();
            for (const auto &child : b.children())
                n += below(*child);
            return n;
        };
        EXPECT_EQ(below(*doc->maps().first()->root()),
                  c.topics.count(QStringLiteral("<ap:Topic ")));
        doc->detach();
    }
    EXPECT_TRUE(alertMessages().isEmpty());
}

// The real maps: MindManager 23's test map carries a tag, the Spring map a
// picture in a note.
TEST_F(ImportFixture, RealMapsCountWhatTheyHoldWithoutAPlace)
{
#ifdef THINKWEB_REAL_FILES
    const QString folder = QStringLiteral(THINKWEB_REAL_FILES "/");
#else
    const QString folder;
#endif
    if (folder.isEmpty() || !QDir(folder).exists())
        GTEST_SKIP() << "real maps not found beside the project: " << folder.toStdString();
    const struct
    {
        const char *file;
        MMLeftOut counted;
    } cases[] = {
        {"mindm-Test_DOM.mmap", {0, 1, 0, 0, 0}},
        {"mindjet-spring.mmap", {0, 0, 0, 0, 1, 1}},
        {"mindjet-english-grammar.mmap", {}},
        {"mmap2json-test.mmap", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        auto doc = freshDocument();
        MMLeftOut leftOut;
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(*doc->maps().first(),
                                                        folder + QLatin1String(c.file), &leftOut));
        EXPECT_EQ(leftOut, c.counted);
        doc->detach();
    }
}
