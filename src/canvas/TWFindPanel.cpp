#include "canvas/TWFindPanel.h"

#include "canvas/TWFindController.h"
#include "platform/SpellChecker.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/Font.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QTextLayout>
#include <QVBoxLayout>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
}

QFont runFont(const AttributedString &text, qsizetype run, const QFont &fallback)
{
    const QVariant value = text.runAttributes(run).value(NSFontAttributeName);
    if (!value.canConvert<Font>())
        return fallback;
    const Font font = value.value<Font>();
    // The panel's own face at the preview's sizes.
    QFont drawn = fallback;
    drawn.setPointSizeF(font.pointSize());
    drawn.setBold(font.fontName().endsWith(QLatin1String("-Bold")));
    return drawn;
}

// One line of the preview's runs, each in its own font.
struct PreviewLine
{
    QList<std::pair<QString, QFont>> parts;
    qreal width = 0;
    qreal ascent = 0;
    qreal descent = 0;
};

PreviewLine previewLine(const AttributedString &text, const QFont &fallback)
{
    PreviewLine line;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const AttributedString::Range r = text.runRange(run);
        const QFont font = runFont(text, run, fallback);
        const QFontMetricsF metrics(font);
        const QString part = text.string().mid(r.location, r.length);
        line.parts.append({part, font});
        line.width += metrics.horizontalAdvance(part);
        line.ascent = std::max(line.ascent, metrics.ascent());
        line.descent = std::max(line.descent, metrics.descent());
    }
    return line;
}

} // namespace

// --- the preview column ---

void TWFindPreviewDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QStyle *style = background.widget ? background.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, background.widget);

    const AttributedString preview =
        index.data(TWFindResultsModel::PreviewRole).value<AttributedString>();
    const PreviewLine line = previewLine(preview, option.font);
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setClipRect(option.rect);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    qreal x = option.rect.x() + 4;
    const qreal baseline =
        option.rect.y() + (option.rect.height() - line.ascent - line.descent) / 2 + line.ascent;
    for (const auto &[part, font] : line.parts) {
        painter->setFont(font);
        painter->drawText(QPointF(x, baseline), part);
        x += QFontMetricsF(font).horizontalAdvance(part);
    }
    painter->restore();
}

QSize TWFindPreviewDelegate::sizeHint(const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    const AttributedString preview =
        index.data(TWFindResultsModel::PreviewRole).value<AttributedString>();
    const PreviewLine line = previewLine(preview, option.font);
    return QSize(int(std::ceil(line.width)) + 8, int(std::ceil(line.ascent + line.descent)) + 4);
}

// --- the find panel ---

TWFindPanel::TWFindPanel(TWFindController *controller, QWidget *parent)
    : QDialog(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("TWDFindPanel"));
    setWindowTitle(dadoZiz("Find"));
    setModal(false);
    // A panel serves the document windows: it never keeps the program
    // running once the last of them is closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_find = new QLineEdit(this);
    m_replace = new QLineEdit(this);
    m_scope = new QComboBox(this);
    m_scope->addItem(dadoZiz("This Map"), 1);
    m_scope->addItem(dadoZiz("This Document"), 2);
    m_scope->addItem(dadoZiz("All Documents"), 3);
    m_ignoreCase = new QCheckBox(dadoZiz("Ignore Case"), this);

    auto *form = new QFormLayout;
    form->addRow(dadoZiz("Find:"), m_find);
    form->addRow(dadoZiz("Replace with:"), m_replace);
    auto *options = new QHBoxLayout;
    options->addWidget(new QLabel(dadoZiz("Search in:"), this));
    options->addWidget(m_scope);
    options->addStretch();
    options->addWidget(m_ignoreCase);
    form->addRow(options);

    m_table = new QTableView(this);
    m_table->setModel(controller->resultsModel());
    m_table->setSelectionModel(controller->selectionModel());
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setItemDelegateForColumn(TWFindResultsModel::PreviewColumn,
                                      new TWFindPreviewDelegate(m_table));
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(22);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(TWFindResultsModel::DescriptionColumn, 110);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);

    auto *buttons = new QHBoxLayout;
    const auto add = [this, buttons](const char *name, const char *title,
                                     std::function<void(TWFindController &)> action) {
        // An ampersand in a title is text, not a mnemonic.
        auto *b = new QPushButton(dadoZiz(title).replace(u'&', QLatin1String("&&")), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, action = std::move(action)] {
            commitFindField();
            action(*m_controller);
        });
        buttons->addWidget(b);
        return b;
    };
    add("replaceAll", "Replace All", [](TWFindController &c) { c.replaceAll(); });
    add("replace", "Replace", [](TWFindController &c) { c.replace(); });
    add("replaceAndFind", "Replace & Find", [](TWFindController &c) { c.replaceAndFind(); });
    buttons->addStretch();
    add("previous", "Previous", [](TWFindController &c) { c.previous(); });
    add("next", "Next", [](TWFindController &c) { c.next(); })->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(520, 360);

    // Searching every map on each keystroke would lag behind the typing.
    m_findDelay.setSingleShot(true);
    m_findDelay.setInterval(250);
    connect(&m_findDelay, &QTimer::timeout, this, &TWFindPanel::commitFindField);
    connect(m_find, &QLineEdit::textEdited, this, [this] { m_findDelay.start(); });
    connect(m_find, &QLineEdit::returnPressed, this, [this] {
        commitFindField();
        m_controller->next();
    });
    connect(m_replace, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_controller->setReplaceString(text); });
    connect(m_scope, &QComboBox::activated, this, [this](int index) {
        UserDefaults::standard().setInteger(m_scope->itemData(index).toInt(),
                                            QLatin1String(TWPreferences::FindScopeKey));
    });
    connect(m_ignoreCase, &QCheckBox::toggled, this, [](bool on) {
        UserDefaults::standard().setBool(on, QLatin1String(TWPreferences::FindIgnoreCaseKey));
    });
    readDefaults();
}

QPushButton *TWFindPanel::button(const QString &name) const
{
    return findChild<QPushButton *>(name);
}

void TWFindPanel::commitFindField()
{
    m_findDelay.stop();
    if (m_find->text() != m_controller->findString() || m_controller->findString().isNull())
        m_controller->setFindString(m_find->text());
}

void TWFindPanel::showEvent(QShowEvent *event)
{
    readDefaults();
    QDialog::showEvent(event);
}

void TWFindPanel::readDefaults()
{
    const UserDefaults &defaults = UserDefaults::standard();
    const int scope = int(defaults.integerForKey(QLatin1String(TWPreferences::FindScopeKey)));
    const QSignalBlocker blockScope(m_scope);
    m_scope->setCurrentIndex(scope == 2 || scope == 3 ? scope - 1 : 0);
    const QSignalBlocker blockCase(m_ignoreCase);
    m_ignoreCase->setChecked(defaults.boolForKey(QLatin1String(TWPreferences::FindIgnoreCaseKey)));
    if (!m_controller->findString().isNull() && m_find->text().isEmpty())
        m_find->setText(m_controller->findString());
    m_replace->setText(m_controller->replaceString());
}

// --- the spelling panel ---

TWSpellingPanel::TWSpellingPanel(TWFindController *controller, QWidget *parent)
    : QDialog(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("TWSpellingPanel"));
    setWindowTitle(dadoZiz("Spelling"));
    setModal(false);
    // A panel serves the document windows: it never keeps the program
    // running once the last of them is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_correction = new QLineEdit(this);
    m_guesses = new QListWidget(this);
    connect(m_guesses, &QListWidget::currentTextChanged, m_correction, &QLineEdit::setText);

    auto *buttons = new QVBoxLayout;
    const auto add = [&](const char *name, const char *title, std::function<void()> action) {
        auto *b = new QPushButton(dadoZiz(title), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, std::move(action));
        buttons->addWidget(b);
    };
    add("change", "Change", [this] { m_controller->changeSpelling(m_correction->text()); });
    add("findNext", "Find Next", [this] { m_controller->checkSpelling(); });
    add("ignore", "Ignore", [this] {
        m_controller->ignoreSpelling(m_word);
        m_controller->checkSpelling();
    });
    buttons->addStretch();

    auto *left = new QVBoxLayout;
    left->addWidget(m_correction);
    left->addWidget(new QLabel(dadoZiz("Guesses:"), this));
    left->addWidget(m_guesses, 1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    resize(360, 240);
    setMisspelledWord(controller->misspelledWord());
}

QPushButton *TWSpellingPanel::button(const QString &name) const
{
    return findChild<QPushButton *>(name);
}

void TWSpellingPanel::setMisspelledWord(const QString &word)
{
    m_word = word;
    m_guesses->clear();
    m_correction->setText(word);
    if (!word.isEmpty())
        m_guesses->addItems(SpellChecker::shared().guessesForWord(word));
}
