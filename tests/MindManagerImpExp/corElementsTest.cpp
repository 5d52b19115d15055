#include "MindManagerImpExp/corElements.h"
#include "MindManagerImpExp/apContentElements.h"

#include "MMTestSupport.h"
#include "platform/CFormat.h"
#include "support/Base64.h"

#include <QRegularExpression>
#include <clocale>
#include <cstring>
#include <gtest/gtest.h>
#include <span>
#include <string>
#include <vector>

namespace {

const char *kNamespaces = " xmlns:cor=\"http://example.org/cor\" xmlns:ap=\"http://example.org/ap\""
                          " xmlns:xsi=\"http://example.org/xsi\"";

// Reads the element (wrapped in a root declaring the prefixes) as the class
// and writes it back into a fresh tree; returns the written element's text.
QString roundTrip(const MMElementClass &cls, const QString &element)
{
    const XMLTree source =
        XMLTree::initWithString(QStringLiteral("<w%1>%2</w>").arg(kNamespaces, element));
    EXPECT_FALSE(source.isNull()) << element.toStdString();
    const XMLTree first = source.childAtIndex(0);
    MMObjectPtr object = MMXMLBaseObject::initWithXMLTree(cls, first);
    EXPECT_TRUE(object);
    if (!object)
        return QString();
    XMLTree out = XMLTree::initWithName("out");
    XMLTree written = object->createSubtreeInTree(out);
    return written.description();
}

} // namespace

TEST(MMValueConversions, Booleans)
{
    const struct
    {
        QString text;
        bool defaultValue;
        bool expected;
    } cases[] = {
        {"TRUE", false, true}, {"true", false, true},   {"False", true, false},
        {"yes", false, false}, {"yes", true, true},     {"1", false, false},
        {"1", true, true},     {QString(), true, true}, {QString(), false, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MMXMLBaseObject::stringToBool(c.text, c.defaultValue), c.expected)
            << c.text.toStdString() << " default " << c.defaultValue;
    EXPECT_EQ(MMXMLBaseObject::boolToString(true), "true");
    EXPECT_EQ(MMXMLBaseObject::boolToString(false), "false");
}

TEST(MMValueConversions, NumbersAndDatesIgnoreTheProcessLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "de_DE");
    EXPECT_EQ(MMXMLBaseObject::floatToString(12.5), "12.500000");
    EXPECT_EQ(MMXMLBaseObject::intToString(-7), "-7");
    EXPECT_EQ(MMXMLBaseObject::stringToFloatNumber("2.5"), 2.5f);
    EXPECT_EQ(MMXMLBaseObject::stringToIntNumber("42abc"), 42);
    EXPECT_EQ(MMXMLBaseObject::stringToIntNumber("abc"), 0);
    EXPECT_FALSE(MMXMLBaseObject::stringToIntNumber(QString()));
    EXPECT_FALSE(MMXMLBaseObject::stringToFloatNumber(QString()));

    const QDateTime date(QDate(2008, 5, 12), QTime(13, 4, 5), Qt::LocalTime);
    EXPECT_EQ(MMXMLBaseObject::dateToString(date), "2008-05-12T13:04:05");
    EXPECT_EQ(MMXMLBaseObject::stringToDate("2008-05-12T13:04:05"), date);
    EXPECT_EQ(MMXMLBaseObject::stringToDate("2008-05-12T13:04:05.000Z"), date);
    EXPECT_FALSE(MMXMLBaseObject::stringToDate("2008-13-12T13:04:05"));
    EXPECT_FALSE(MMXMLBaseObject::stringToDate("12.05.2008"));
    std::setlocale(LC_ALL, saved.c_str());
    if (!german)
        GTEST_SKIP() << "no German locale installed; checked in the C locale only";
}

TEST(corObject, FreshObjectsTakeTheNextIdentifier)
{
    EXPECT_EQ(corObject::identifierForNumber(1), "MDAwMDAwMDAwMDAwMDAwMQ==");
    EXPECT_EQ(corObject::identifierForNumber(2), "MDAwMDAwMDAwMDAwMDAwMg==");
    // Sixteen digits, zero-padded, in Base64: as "%016u" formats them.
    for (const quint32 n : {0u, 9u, 10u, 99u, 123456789u, 1000000000u, 2147483648u, 4294967295u})
        EXPECT_EQ(corObject::identifierForNumber(n),
                  TWBase64::twBase64String(CFormat::format("%016u", n).toUtf8()))
            << n;

    const quint32 before = corObject::identifierCounter();
    auto first = MMXMLBaseObject::create<corObject>();
    auto second = MMXMLBaseObject::create<corObject>();
    EXPECT_EQ(first->OId(), corObject::identifierForNumber(before + 1));
    EXPECT_EQ(second->OId(), corObject::identifierForNumber(before + 2));
    EXPECT_EQ(second->POId(), second->OId());

    // Reading leaves the counter alone.
    const XMLTree tree = XMLTree::initWithData("<cor:Object OId=\"x\"/>");
    auto read = MMXMLBaseObject::initWithXMLTree<corObject>(tree);
    EXPECT_EQ(read->OId(), "x");
    EXPECT_FALSE(read->POId());
    EXPECT_EQ(corObject::identifierCounter(), before + 2);

    XMLTree out = XMLTree::initWithName("out");
    EXPECT_EQ(first->createSubtreeInTree(out).description(),
              QStringLiteral("<cor:Object OId=\"%1\" POId=\"%1\" Gen=\"0000000000000000\" "
                             "Dirty=\"0000000000000001\"/>")
                  .arg(*first->OId()));
    // A subclass made fresh is a corObject too.
    auto custom = MMXMLBaseObject::create<corCustom>();
    EXPECT_FALSE(custom->isKindOf(corObject::staticClass()));
    EXPECT_TRUE(custom->isKindOf(corValue::staticClass()));
    EXPECT_EQ(custom->copy(), custom);
}

// Each element read and written again gives its canonical form: base class
// attributes first, then the class's own in table order, then children.
TEST(corElements, ReadThenWrittenGivesTheCanonicalText)
{
    const struct
    {
        const MMElementClass &cls;
        QString in;
        QString out;
    } cases[] = {
        {corObject::staticClass(),
         "<cor:Object Dirty=\"d\" Gen=\"g\" OId=\"o\" Other=\"z\"><x/>"
         "<cor:Custom Uri=\"u1\" Index=\"3\"/><cor:Custom Uri=\"u2\"/></cor:Object>",
         "<cor:Object OId=\"o\" Gen=\"g\" Dirty=\"d\"><cor:Custom Index=\"3\" Uri=\"u1\"/>"
         "<cor:Custom Index=\"0\" Uri=\"u2\"/></cor:Object>"},
        {corProperty::staticClass(), "<cor:Property Dirty=\"1\"/>", "<cor:Property Dirty=\"1\"/>"},
        {corValue::staticClass(), "<other/>", "<cor:Value/>"},
        {corGroup::staticClass(), "<cor:Group Dirty=\"\"/>", "<cor:Group Dirty=\"\"/>"},
        {corObjects::staticClass(), "<cor:Objects/>", "<cor:Objects/>"},
        {corOneObject::staticClass(), "<cor:OneObject/>", "<cor:OneObject/>"},
        {corMultiple::staticClass(), "<cor:Multiple Index=\"-1\" Dirty=\"a\"/>",
         "<cor:Multiple Dirty=\"a\" Index=\"-1\"/>"},
        {corCustom::staticClass(), "<cor:Custom Uri=\"a&amp;b\"/>",
         "<cor:Custom Index=\"0\" Uri=\"a&amp;b\"/>"},
        {corBinaryData::staticClass(),
         "<cor:BinaryData Uri=\"u\"><cor:Base64>QUJD</cor:Base64><cor:Base64>x</cor:Base64>"
         "</cor:BinaryData>",
         "<cor:BinaryData Uri=\"u\"><cor:Base64 xsi:nil=\"false\">QUJD</cor:Base64>"
         "</cor:BinaryData>"},
        {corBase64::staticClass(), "<cor:Base64 xsi:nil=\"true\"/>",
         "<cor:Base64 xsi:nil=\"true\"/>"},
        {corBase64::staticClass(), "<cor:Base64 xsi:nil=\"yes\">AA==</cor:Base64>",
         "<cor:Base64 xsi:nil=\"false\">AA==</cor:Base64>"},
        {corXhtmlData::staticClass(),
         "<cor:XhtmlData Dirty=\"1\"><html><body>t</body></html></cor:XhtmlData>",
         "<cor:XhtmlData Dirty=\"1\"/>"},
        {corObjectReference::staticClass(), "<cor:SomeReference OIdRef=\"r\"/>",
         "<ap:ObjectReference OIdRef=\"r\"/>"},
        {corParentObjectReference::staticClass(), "<ap:ObjectReference OIdRef=\"r\"/>",
         "<cor:ParentObjectReference OIdRef=\"r\"/>"},
        {corPropertyReference::staticClass(),
         "<cor:PropertyReference IndexPath=\"1\" QualifiedName=\"q\">"
         "<cor:ContainingPropertyReference QualifiedName=\"p\">"
         "<cor:ContainingPropertyReference IndexPath=\"2\"/>"
         "</cor:ContainingPropertyReference></cor:PropertyReference>",
         "<cor:PropertyReference QualifiedName=\"q\" IndexPath=\"1\">"
         "<cor:ContainingPropertyReference QualifiedName=\"p\">"
         "<cor:ContainingPropertyReference IndexPath=\"2\"/>"
         "</cor:ContainingPropertyReference></cor:PropertyReference>"},
        {corBaselines::staticClass(),
         "<cor:Baselines><cor:Baseline BId=\"b\" Index=\"4x\"/><cor:Baseline/></cor:Baselines>",
         "<cor:Baselines><cor:Baseline Index=\"4\" BId=\"b\"/><cor:Baseline/></cor:Baselines>"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        QString written = roundTrip(c.cls, c.in);
        written.remove(QLatin1Char('\n')).replace(QRegularExpression(">\\s+<"), "><");
        EXPECT_EQ(written, c.out);
    }
}

TEST(corElements, FieldsKeepWhatWasRead)
{
    const XMLTree tree = XMLTree::initWithString(
        QStringLiteral("<w%1><cor:BinaryData Uri=\"  spaced  \"><cor:Base64>QUJD</cor:Base64>"
                       "</cor:BinaryData><cor:XhtmlData><html><body>Hi</body></html>"
                       "</cor:XhtmlData></w>")
            .arg(kNamespaces));
    auto binary = MMXMLBaseObject::initWithXMLTree<corBinaryData>(tree.childAtIndex(0));
    EXPECT_EQ(binary->URI(), "  spaced  ");
    EXPECT_FALSE(binary->dirty());
    ASSERT_TRUE(binary->data());
    EXPECT_EQ(binary->data()->contents(), "QUJD");
    EXPECT_FALSE(binary->data()->xsiNil());

    auto xhtml = MMXMLBaseObject::initWithXMLTree<corXhtmlData>(tree.childAtIndex(1));
    EXPECT_EQ(xhtml->xhtmlTree().qualifiedName(), "html");
    EXPECT_EQ(xhtml->xhtmlTree().nodeContent(), "Hi");
    EXPECT_FALSE(xhtml->xhtmlData());

    // Plain fields cannot be nil: clearing gives the default back.
    auto multiple = MMXMLBaseObject::create<corMultiple>();
    multiple->setIndex(5);
    multiple->setValue("index", QVariant());
    EXPECT_EQ(multiple->index(), 0u);
}

TEST(corElements, AttributeTextIsEscapedOnceAndReadsBackUnchanged)
{
    const QString url = QStringLiteral("http://example.org/?a=1&b=<2>&c='3'");
    auto custom = MMXMLBaseObject::create<corCustom>();
    custom->setUri(url);
    XMLTree out = XMLTree::initRootless();
    XMLTree root = out.addSubtree("w");
    custom->createSubtreeInTree(root);
    const QString text = out.description();
    EXPECT_TRUE(text.contains("Uri=\"http://example.org/?a=1&amp;b=&lt;2&gt;&amp;c='3'\""))
        << text.toStdString();
    EXPECT_FALSE(text.contains("&amp;amp;"));

    const XMLTree again = XMLTree::initWithString(text);
    auto read = MMXMLBaseObject::initWithXMLTree<corCustom>(again.childNamed("cor:Custom"));
    EXPECT_EQ(read->uri(), url);
}

TEST(corElements, ElementsReadFromAnyNode)
{
    // A node of a document nobody wraps, as the pull reader hands them out.
    const char *text = "<cor:Custom Uri=\"u\" Index=\"2\"/>";
    xmlDocPtr doc = xmlReadMemory(text, int(std::strlen(text)), nullptr, nullptr,
                                  XMLTreeDetail::parseOptions());
    ASSERT_TRUE(doc);
    auto custom = MMXMLBaseObject::initWithXMLTree<corCustom>(
        XMLTree::initWithNode(xmlDocGetRootElement(doc)));
    xmlFreeDoc(doc);
    EXPECT_EQ(custom->uri(), "u");
    EXPECT_EQ(custom->index(), 2u);
    EXPECT_FALSE(MMXMLBaseObject::initWithXMLTree<corCustom>(XMLTree()));
}

namespace {

// An application element as the catalogue declares them: a table on a core
// base, without a C++ class of its own.
const MMElementClass &testElementClass()
{
    using T = MMValueType;
    static const MMFieldRule fields[] = {
        {"size", "Size", T::Float},         {"level", "Level", T::Int, 1},
        {"hidden", "Hidden", T::Bool, 1},   {"due", "Due", T::Date},
        {"width", "Width", T::FloatNumber}, {"note", nullptr, T::String},
    };
    static const MMChildRule children[] = {
        {"value", "ap:Value", &corValue::staticClass},
        {"customs", "ap:Custom", &corCustom::staticClass, true},
    };
    static const MMElementClass cls{"apTest", "ap:Test", &corObject::staticClass(), fields,
                                    children};
    return cls;
}

} // namespace

TEST(MMElementEngine, TableTypesReadAndWriteInTheCLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const struct
    {
        QString in;
        QString out;
    } cases[] = {
        {"<ap:Test/>", "<ap:Test Size=\"0.000000\" Level=\"1\" Hidden=\"true\"/>"},
        {"<ap:Test Width=\"1.25\" Due=\"2008-01-02T03:04:05\" Hidden=\"FALSE\" Level=\"3x\" "
         "Size=\"12.5\" note=\"n\"/>",
         "<ap:Test Size=\"12.500000\" Level=\"3\" Hidden=\"false\" Due=\"2008-01-02T03:04:05\" "
         "Width=\"1.250000\"/>"},
        {"<ap:Test Due=\"soon\" Hidden=\"no\" Dirty=\"d\"><ap:Custom Uri=\"b\"/><ap:Value/>"
         "<ap:Value Dirty=\"second\"/><ap:Custom Uri=\"c\"/></ap:Test>",
         "<ap:Test Dirty=\"d\" Size=\"0.000000\" Level=\"1\" Hidden=\"true\"><cor:Value/>"
         "<cor:Custom Index=\"0\" Uri=\"b\"/><cor:Custom Index=\"0\" Uri=\"c\"/></ap:Test>"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        QString written = roundTrip(testElementClass(), c.in);
        written.remove(QLatin1Char('\n')).replace(QRegularExpression(">\\s+<"), "><");
        EXPECT_EQ(written, c.out);
    }
    std::setlocale(LC_ALL, saved.c_str());

    // Made fresh, it is a corObject with an identity, written before its own fields.
    MMObjectPtr fresh = MMXMLBaseObject::create(testElementClass());
    auto asObject = std::dynamic_pointer_cast<corObject>(fresh);
    ASSERT_TRUE(asObject);
    fresh->setString("note", "kept, never written");
    fresh->setValue("width", QVariant());
    XMLTree out = XMLTree::initWithName("out");
    EXPECT_EQ(fresh->createSubtreeInTree(out).description(),
              QStringLiteral("<ap:Test OId=\"%1\" POId=\"%1\" Gen=\"0000000000000000\" "
                             "Dirty=\"0000000000000001\" Size=\"0.000000\" Level=\"1\" "
                             "Hidden=\"true\"/>")
                  .arg(*asObject->OId()));
    EXPECT_EQ(fresh->string("note"), "kept, never written");
    EXPECT_TRUE(fresh->hasField("customs"));
    EXPECT_FALSE(fresh->hasField("nothing"));
}

// Fields and children are found by the text of their names, whichever
// string holds it: one buffer written over between lookups, the same name
// in classes that place it differently.
TEST(MMElementEngine, FieldsAndChildrenAreFoundByTheTextOfTheirNames)
{
    const MMObjectPtr topic = MMXMLBaseObject::create(apTopic::staticClass());
    const MMObjectPtr text = MMXMLBaseObject::create(apText::staticClass());
    const MMObjectPtr visibility = MMXMLBaseObject::create(apVisibility::staticClass());
    const struct
    {
        MMXMLBaseObject *object;
        const char *field;
    } fields[] = {
        {topic.get(), "OId"},        {topic.get(), "POId"},         {topic.get(), "Gen"},
        {text.get(), "plainText"},   {text.get(), "textAlignment"}, {text.get(), "dirty"},
        {visibility.get(), "dirty"}, {topic.get(), "Dirty"},
    };
    char name[32];
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < std::size(fields); ++i) {
            std::strcpy(name, fields[i].field);
            fields[i].object->setString(name, QStringLiteral("%1.%2").arg(round).arg(i));
        }
        for (size_t i = 0; i < std::size(fields); ++i) {
            const QString expected = QStringLiteral("%1.%2").arg(round).arg(i);
            std::strcpy(name, fields[i].field);
            EXPECT_EQ(fields[i].object->string(name), expected) << fields[i].field;
            EXPECT_EQ(fields[i].object->string(fields[i].field), expected) << fields[i].field;
        }
    }
    const MMObjectPtr color = MMXMLBaseObject::create(apColor::staticClass());
    const struct
    {
        MMXMLBaseObject *object;
        const char *field;
        MMObjectPtr child;
    } children[] = {{topic.get(), "text", text},
                    {topic.get(), "color", color},
                    {text.get(), "font", visibility}};
    for (const auto &c : children) {
        std::strcpy(name, c.field);
        c.object->setChild(name, c.child);
    }
    for (const auto &c : children) {
        std::strcpy(name, c.field);
        EXPECT_EQ(c.object->child(name), c.child) << c.field;
        EXPECT_EQ(c.object->child(c.field), c.child) << c.field;
    }
    // One name placed differently by many classes, looked up at many
    // addresses in turns: each class finds its own field wherever the
    // remembered answers of two classes meet.
    using T = MMValueType;
    static const MMFieldRule first[] = {{"width", "Width", T::FloatNumber}};
    static const MMFieldRule second[] = {{"height", "Height", T::FloatNumber},
                                         {"width", "Width", T::FloatNumber}};
    constexpr int classCount = 64;
    // Kept for the run, as the program's classes are.
    static MMElementClass classes[classCount];
    std::vector<MMObjectPtr> objects;
    for (int i = 0; i < classCount; ++i) {
        classes[i].className = "apSized";
        classes[i].elementName = "ap:Sized";
        classes[i].base = &corValue::staticClass();
        classes[i].fields = i % 2 ? std::span<const MMFieldRule>(second)
                                  : std::span<const MMFieldRule>(first);
        objects.push_back(MMXMLBaseObject::create(classes[i]));
        objects.back()->setValue("width", float(i));
    }
    std::vector<char> names(1 << 12);
    int wrong = 0;
    for (size_t at = 0; at + 6 < names.size(); ++at) {
        const char *width = std::strcpy(names.data() + at, "width");
        for (int i = 0; i < classCount; ++i)
            wrong += objects[size_t(i)]->floatNumber(width) != float(i);
    }
    EXPECT_EQ(wrong, 0);
    for (int i = 1; i < classCount; i += 2)
        EXPECT_EQ(objects[size_t(i)]->floatNumber("height"), std::nullopt);
}

namespace {

// Every value type, a field reading the same attribute as its base class's
// field, an attribute name with a prefix, and two child fields of one
// element name.
const MMElementClass &onePassClass()
{
    using T = MMValueType;
    static const MMFieldRule fields[] = {
        {"size", "Size", T::Float},
        {"level", "Level", T::Int, 1},
        {"count", "Count", T::UInt, 7},
        {"hidden", "Hidden", T::Bool, 1},
        {"due", "Due", T::Date},
        {"width", "Width", T::FloatNumber},
        {"number", "Number", T::IntNumber},
        {"name", "Name", T::String},
        {"alsoDirty", "Dirty", T::String},
        {"nil", "xsi:nil", T::String},
    };
    static const MMChildRule children[] = {
        {"value", "ap:Value", &corValue::staticClass},
        {"customs", "ap:Custom", &corCustom::staticClass, true},
        {"sameValue", "ap:Value", &corValue::staticClass},
    };
    static const MMElementClass cls{"apOnePass", "ap:OnePass", &corProperty::staticClass(), fields,
                                    children};
    return cls;
}

// What a lookup of the attribute by name reads into the field.
QVariant lookedUp(const MMFieldRule &rule, const XMLTree &element)
{
    const QString text = element.attributeNamed(rule.attribute);
    const bool absent = text.isNull();
    switch (rule.type) {
    case MMValueType::String:
        return absent ? QVariant() : QVariant(text);
    case MMValueType::IntNumber:
        return absent ? QVariant() : QVariant(CFormat::intValue(text));
    case MMValueType::FloatNumber:
        return absent ? QVariant() : QVariant(CFormat::floatValue(text));
    case MMValueType::Int:
        return absent ? int(rule.defaultValue) : CFormat::intValue(text);
    case MMValueType::UInt:
        return absent ? quint32(rule.defaultValue) : quint32(CFormat::intValue(text));
    case MMValueType::Float:
        return absent ? float(rule.defaultValue) : CFormat::floatValue(text);
    case MMValueType::Bool:
        return MMXMLBaseObject::stringToBool(text, rule.defaultValue != 0);
    case MMValueType::Date:
        if (const std::optional<QDateTime> d = MMXMLBaseObject::stringToDate(text))
            return *d;
        return QVariant();
    case MMValueType::Tree:
        break;
    }
    return QVariant();
}

} // namespace

// Attributes and children are matched to their fields in one pass over the
// element; each field holds what a lookup by its name finds, whether the
// element is read from its XML or from a flattened copy.
TEST(MMElementEngine, OnePassReadsWhatLookupsByNameFind)
{
    const char *declared = " xmlns:cor=\"urn:cor\" xmlns:ap=\"urn:ap\" xmlns:xsi=\"urn:xsi\""
                           " xmlns:y=\"urn:y\"";
    const struct
    {
        const char *element;
        bool xsiDeclared = true;
    } cases[] = {
        {"<ap:OnePass/>"},
        {"<ap:OnePass Size=\" 12.5\" Level=\"-3x\" Count=\"+7\" Hidden=\"FALSE\" Width=\"1e3\""
         " Number=\"0x1A\" Name=\"a &amp; b &#x41;\" Dirty=\"d\" xsi:nil=\"true\" Due=\"2024-01-02T"
         "03:04:05.5Z\"/>"},
        // Numbers and booleans as texts they are rarely written as.
        {"<ap:OnePass Size=\"inf\" Level=\"99999999999\" Count=\"-1\" Hidden=\"True\" Width=\"\""
         " Number=\"\xD9\xA1\xD9\xA2\" Due=\"2024-13-02T03:04:05\"/>"},
        {"<ap:OnePass Size=\"\xC2\xA0"
         "2\" Level=\"  12\" Hidden=\"fal\xC5\xBF"
         "e\" Width=\"-0\""
         " Number=\"1234567890123456789012345678901234567890123456789012345678901234567890\""
         " Count=\"4294967296\" Due=\"soon\"/>"},
        {"<ap:OnePass Hidden=\"yes\" Name=\"\xC3\xA9t\xC3\xA9\" Width=\"  2.5e-1 \""
         " Number=\"12345678901234567890123456789012345678901234567890123456789012345\"/>"},
        {"<ap:OnePass Level=\"12\" Count=\"-5\" Number=\"007\" Hidden=\"TrUe\"/>"},
        {"<ap:OnePass Level=\"-\" Count=\"999999999\" Number=\"-1234567890\" Hidden=\"0\"/>"},
        // Plain decimals, and short texts that recur or nearly do.
        {"<ap:OnePass Size=\"12.5\" Width=\"-3.25\" Name=\"DejaVu Sans\"/>"},
        {"<ap:OnePass Size=\"0.1\" Width=\"007.50\" Name=\"DejaVu Sanz\" Dirty=\"DejaVu Sans\"/>"},
        {"<ap:OnePass Size=\"1.\" Width=\".5\" Name=\"\xC3\xA9\" Dirty=\"\"/>"},
        {"<ap:OnePass Size=\"-0\" Width=\"123456789012345678\" Name=\"abcdefghijklmnopqrstuvwx\""
         " Dirty=\"abcdefghijklmnopqrstuvwxy\"/>"},
        {"<ap:OnePass Size=\"1-2\" Width=\"1.2.3\" Name=\"abcdefghijklmnopqrstuvwx\""
         " Dirty=\"DejaVu Sans\"/>"},
        // Prefixed attributes never stand for plain names, nor the reverse.
        {"<ap:OnePass y:Name=\"in y\" y:Dirty=\"in y\" nil=\"bare\"/>"},
        {"<ap:OnePass y:Name=\"in y\" Name=\"plain\" xsi:nil=\"\"/>"},
        // An undeclared prefix leaves the whole name outside any namespace.
        {"<ap:OnePass xsi:nil=\"undeclared\" Name=\"n\"/>", false},
        // Children: the first for a single field, every one for a list.
        {"<ap:OnePass><ap:Custom Uri=\"1\"/><?ap:Value pi?><ap:Value Dirty=\"first\"/>x"
         "<y:Value/><ap:Value Dirty=\"second\"/><ap:Custom Uri=\"2\" Index=\"3\"/></ap:OnePass>"},
    };
    const MMElementClass &cls = onePassClass();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.element);
        QString ns = QString::fromLatin1(declared);
        if (!c.xsiDeclared)
            ns.remove(QStringLiteral(" xmlns:xsi=\"urn:xsi\""));
        const XMLTree source = XMLTree::initWithString(
            QStringLiteral("<w%1>%2</w>").arg(ns, QString::fromUtf8(c.element)));
        ASSERT_FALSE(source.isNull());
        const XMLTree element = source.childNamed("ap:OnePass");
        ASSERT_FALSE(element.isNull());
        XMLFlatTree flat;
        const int index = flat.append(element.rootNode());
        for (const MMObjectPtr &object :
             {MMXMLBaseObject::initWithXMLTree(cls, element),
              MMXMLBaseObject::initWithFlatTree(cls, flat.element(index))}) {
            ASSERT_TRUE(object);
            for (const MMElementClass *k = &cls; k; k = k->base) {
                for (const MMFieldRule &rule : k->fields)
                    EXPECT_EQ(object->value(rule.field), lookedUp(rule, element)) << rule.field;
                for (const MMChildRule &rule : k->children) {
                    QList<XMLTree> found = element.childrenNamed(rule.element);
                    if (!rule.many && found.size() > 1)
                        found.resize(1);
                    const MMObjectList read = object->children(rule.field);
                    ASSERT_EQ(read.size(), found.size()) << rule.field;
                    for (qsizetype i = 0; i < read.size(); ++i)
                        EXPECT_EQ(MMTest::written(*read[i]),
                                  MMTest::written(*MMXMLBaseObject::initWithXMLTree(
                                      rule.elementClass(), found[i])));
                }
            }
        }
    }
    // More texts of one length than are remembered: each reads as itself.
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("name%1").arg(i % 150, 3, 10, QLatin1Char('0'));
        const XMLTree source = XMLTree::initWithString(
            QStringLiteral("<w%1><ap:OnePass Name=\"%2\"/></w>").arg(declared, name));
        const MMObjectPtr object =
            MMXMLBaseObject::initWithXMLTree(cls, source.childNamed("ap:OnePass"));
        ASSERT_TRUE(object);
        EXPECT_EQ(object->string("name"), name);
    }
}
