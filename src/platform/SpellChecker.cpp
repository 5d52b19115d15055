#include "platform/SpellChecker.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTextBoundaryFinder>
#include <hunspell.hxx>

#include <algorithm>

namespace {

SpellChecker *g_installed = nullptr;

bool hasLetter(QStringView word)
{
    return std::any_of(word.begin(), word.end(), [](QChar c) { return c.isLetter(); });
}

bool hasDigit(QStringView word)
{
    return std::any_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
}

} // namespace

SpellChecker::~SpellChecker()
{
    if (g_installed == this)
        g_installed = nullptr;
}

QList<SpellChecker::Range> SpellChecker::wordRanges(const QString &text)
{
    QList<Range> ranges;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() >= 0) {
        const qsizetype end = finder.position();
        const QStringView piece = QStringView(text).mid(start, end - start);
        if (hasLetter(piece))
            ranges.append({start, end - start});
        start = end;
    }
    return ranges;
}

bool SpellChecker::isMisspelled(const QString &word, int documentTag) const
{
    // Codes and numbers ("A4", "2nd") are no words to correct.
    if (hasDigit(word))
        return false;
    if (m_ignored.value(documentTag).contains(word))
        return false;
    return !isKnownWord(word);
}

QList<SpellChecker::Range> SpellChecker::misspelledRanges(const QString &text,
                                                          int documentTag) const
{
    QList<Range> result;
    for (const Range &r : wordRanges(text))
        if (isMisspelled(text.mid(r.location, r.length), documentTag))
            result.append(r);
    return result;
}

SpellChecker::Range SpellChecker::checkSpellingOfString(const QString &text, qsizetype from,
                                                        int documentTag, bool wrap) const
{
    from = std::clamp<qsizetype>(from, 0, text.size());
    const QList<Range> bad = misspelledRanges(text, documentTag);
    for (const Range &r : bad)
        if (r.location >= from)
            return r;
    if (wrap)
        for (const Range &r : bad)
            if (r.location < from)
                return r;
    return {};
}

int SpellChecker::uniqueSpellDocumentTag()
{
    return m_nextTag++;
}

void SpellChecker::ignoreWord(const QString &word, int documentTag)
{
    if (!word.isEmpty())
        m_ignored[documentTag].insert(word);
}

QStringList SpellChecker::ignoredWords(int documentTag) const
{
    QStringList words = m_ignored.value(documentTag).values();
    words.sort();
    return words;
}

void SpellChecker::setIgnoredWords(const QStringList &words, int documentTag)
{
    QSet<QString> set(words.begin(), words.end());
    set.remove(QString());
    m_ignored[documentTag] = set;
}

void SpellChecker::closeSpellDocumentWithTag(int documentTag)
{
    m_ignored.remove(documentTag);
}

namespace {
SpellChecker &systemChecker()
{
    static const std::unique_ptr<HunspellSpellChecker> own =
        HunspellSpellChecker::forLanguage(QLocale::system().name());
    return *own;
}
} // namespace

SpellChecker &SpellChecker::shared()
{
    if (g_installed)
        return *g_installed;
    return systemChecker();
}

std::jthread SpellChecker::loadInBackground()
{
    return std::jthread([] { systemChecker(); });
}

void SpellChecker::setShared(SpellChecker *checker)
{
    g_installed = checker;
}

SpellChecker::Scope::Scope(SpellChecker *checker) : m_previous(g_installed)
{
    g_installed = checker;
}

SpellChecker::Scope::~Scope()
{
    g_installed = m_previous;
}

// --- Hunspell ---

HunspellSpellChecker::HunspellSpellChecker(const QString &affixPath, const QString &dictionaryPath,
                                           const QString &language)
    : m_language(language)
{
    if (dictionaryPath.isEmpty())
        return;
    if (!QFileInfo(affixPath).isReadable() || !QFileInfo(dictionaryPath).isReadable()) {
        qWarning().noquote() << QStringLiteral("No spelling dictionary at %1").arg(dictionaryPath);
        return;
    }
    m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(affixPath).constData(),
                                            QFile::encodeName(dictionaryPath).constData());
    const QString encoding = QString::fromStdString(m_hunspell->get_dict_encoding()).toUpper();
    m_latin1 = encoding == QLatin1String("ISO8859-1") || encoding == QLatin1String("ISO-8859-1");
    if (!m_latin1 && encoding != QLatin1String("UTF-8"))
        qWarning().noquote() << QStringLiteral("Spelling dictionary %1 is in %2; read as UTF-8")
                                    .arg(dictionaryPath, encoding);
}

HunspellSpellChecker::~HunspellSpellChecker() = default;

QStringList HunspellSpellChecker::systemDictionaryFolders()
{
    return {QStringLiteral("/usr/share/hunspell"), QStringLiteral("/usr/share/myspell/dicts"),
            QStringLiteral("/usr/share/myspell")};
}

std::unique_ptr<HunspellSpellChecker> HunspellSpellChecker::forLanguage(const QString &language,
                                                                        const QStringList &folders)
{
    const QStringList searched = folders.isEmpty() ? systemDictionaryFolders() : folders;
    QStringList candidates;
    if (!language.isEmpty() && language != QLatin1String("C")) {
        candidates << language;
        // "de" alone finds "de_DE"; "de_AT" without a dictionary tries "de".
        const QString base = language.section(QLatin1Char('_'), 0, 0);
        if (base != language)
            candidates << base;
        candidates << base + QLatin1Char('_') + base.toUpper();
    }
    candidates << QStringLiteral("en_US");
    for (const QString &candidate : std::as_const(candidates)) {
        for (const QString &folder : searched) {
            const QDir dir(folder);
            const QString dic = dir.filePath(candidate + QLatin1String(".dic"));
            const QString aff = dir.filePath(candidate + QLatin1String(".aff"));
            if (QFileInfo::exists(dic) && QFileInfo::exists(aff)) {
                auto checker = std::make_unique<HunspellSpellChecker>(aff, dic, candidate);
                if (checker->isLoaded())
                    return checker;
            }
        }
    }
    qWarning().noquote() << QStringLiteral("No spelling dictionary for %1 or en_US").arg(language);
    return std::make_unique<HunspellSpellChecker>(QString(), QString(), QString());
}

std::string HunspellSpellChecker::encode(const QString &word) const
{
    // Typographic apostrophes are spelled as the dictionaries spell them.
    QString plain = word;
    plain.replace(QChar(0x2019), QLatin1Char('\''));
    return m_latin1 ? plain.toLatin1().toStdString() : plain.toStdString();
}

QString HunspellSpellChecker::decode(const std::string &bytes) const
{
    return m_latin1 ? QString::fromLatin1(bytes.data(), qsizetype(bytes.size()))
                    : QString::fromStdString(bytes);
}

bool HunspellSpellChecker::isKnownWord(const QString &word) const
{
    if (!m_hunspell)
        return true;
    return m_hunspell->spell(encode(word));
}

QStringList HunspellSpellChecker::guessesForWord(const QString &word) const
{
    QStringList result;
    if (!m_hunspell)
        return result;
    for (const std::string &guess : m_hunspell->suggest(encode(word)))
        result << decode(guess);
    return result;
}

// --- test double ---

QStringList WordListSpellChecker::guessesForWord(const QString &word) const
{
    QStringList result;
    for (const QString &known : m_words)
        if (known.size() == word.size())
            result << known;
    result.sort();
    return result;
}
