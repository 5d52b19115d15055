#pragma once

#include "BranchTestSupport.h"
#include "exchange/KeynoteExportController.h"
#include "exchange/TWExportController.h"
#include "exchange/TWKeynoteTemplates.h"
#include "exchange/TWKeynoteXML.h"
#include "model/TWAttachedText.h"
#include "support/XMLDocument.h"

#include <QSet>
#include <QStringList>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace KeynoteTest {

// Collects the warnings logged while it lives.
class LogCapture
{
public:
    LogCapture() { s_lines.clear(), m_previous = qInstallMessageHandler(&LogCapture::handler); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    const QStringList &lines() const { return s_lines; }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_lines << message;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

// A parsed template with the masters the slides are made from.
struct Presentation
{
    explicit Presentation(const TWKeynoteTemplates::Template &entry)
        : Presentation(TWKeynoteTemplates::presentationXML(entry))
    {}
    explicit Presentation(const QByteArray &xml) : document(*XMLDocument::parse(xml))
    {
        doc = document.xmlDoc();
        root = xmlDocGetRootElement(doc);
        const QStringList masters = values("/key:presentation/key:master-order/"
                                           "key:master-slide-ref/@sfa:IDREF");
        bulletMaster = masters.value(1);
        blankMaster = masters.value(3);
        bulletSheet = values(masterPath(bulletMaster) + "/key:stylesheet/@sfa:ID").value(0);
        blankSheet = values(masterPath(blankMaster) + "/key:stylesheet/@sfa:ID").value(0);
        const QString layer = "/key:page/sf:layers/sf:layer[sf:type/sf:string/@sfa:string="
                              "'BGMasterSlideLayer']/@sfa:ID";
        bulletLayer = values(masterPath(bulletMaster) + layer).value(0);
        blankLayer = values(masterPath(blankMaster) + layer).value(0);
        slideList = nodes("/key:presentation/key:slide-list").value(0);
    }
    static QString masterPath(const QString &id)
    {
        return "/key:presentation/key:theme-list/key:theme/key:master-slides/"
               "key:master-slide[@sfa:ID='" +
               id + "']";
    }

    QList<xmlNodePtr> nodes(const QString &query, xmlNodePtr context = nullptr) const
    {
        QList<xmlNodePtr> result;
        xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
        ctx->node = context ? context : reinterpret_cast<xmlNodePtr>(doc);
        for (xmlNsPtr ns = root->nsDef; ns; ns = ns->next)
            xmlXPathRegisterNs(ctx, ns->prefix, ns->href);
        xmlXPathObjectPtr object = xmlXPathEvalExpression(BAD_CAST query.toUtf8().constData(), ctx);
        if (object && object->nodesetval)
            for (int i = 0; i < object->nodesetval->nodeNr; ++i)
                result << object->nodesetval->nodeTab[i];
        xmlXPathFreeObject(object);
        xmlXPathFreeContext(ctx);
        return result;
    }
    QStringList values(const QString &query, xmlNodePtr context = nullptr) const
    {
        QStringList result;
        for (xmlNodePtr node : nodes(query, context)) {
            xmlChar *text = xmlNodeGetContent(node);
            result << QString::fromUtf8(reinterpret_cast<const char *>(text));
            xmlFree(text);
        }
        return result;
    }
    int count(const QString &query, xmlNodePtr context = nullptr) const
    {
        return int(nodes(query, context).size());
    }
    QList<xmlNodePtr> slides() const { return nodes("/key:presentation/key:slide-list/key:slide"); }
    // Ids made twice, and references to no id.
    QStringList idProblems() const
    {
        QStringList problems;
        QSet<QString> ids;
        for (const QString &id : values("//@sfa:ID")) {
            if (ids.contains(id))
                problems << "repeated " + id;
            ids.insert(id);
        }
        for (const QString &ref : values("//@sfa:IDREF"))
            if (!ids.contains(ref))
                problems << "dangling " + ref;
        return problems;
    }

    XMLDocument document;
    xmlDocPtr doc = nullptr;
    xmlNodePtr root = nullptr;
    QString bulletMaster, blankMaster, bulletSheet, blankSheet, bulletLayer, blankLayer;
    xmlNodePtr slideList = nullptr;
};

class KeynoteFixture : public BranchTest::BranchFixture
{
protected:
    KeynoteFixture()
    {
        TWExportController::registerDefaults(defaults);
        exporter.resetIds();
    }

    // The map slide, as the export makes it first.
    xmlNodePtr mapSlide(Presentation &p, int version)
    {
        return exporter.createBlank(true, p.blankMaster, p.blankLayer, p.blankSheet, p.slideList,
                                    false, version);
    }
    bool textSlides(Presentation &p, int version)
    {
        return exporter.createTextSlides(p.bulletMaster, p.bulletLayer, p.bulletSheet, p.slideList,
                                         p.root, version, *map);
    }
    // `count` children of parent named "<prefix> <i>".
    void addChildren(const std::shared_ptr<TWMapBranch> &parent, int count, const QString &prefix)
    {
        for (int i = 0; i < count; ++i)
            child(parent, 10.0f * float(i), prefix + ' ' + QString::number(i + 1));
    }
    void addNote(TWMapBranch &branch, const QString &text, const std::optional<QString> &category)
    {
        auto note = std::make_shared<TWAttachedText>(category, undo.get());
        note->setText(std::make_shared<const AttributedString>(text));
        branch.insertObjectInAttachedTextArrayAtIndex(note, branch.countOfAttachedTextArray());
    }

    KeynoteExportController exporter;
};

} // namespace KeynoteTest
