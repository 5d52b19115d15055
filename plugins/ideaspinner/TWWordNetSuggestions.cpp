#include "TWWordNetSuggestions.h"

#include <QFile>
#include <QSet>
#include <QVariantMap>
#include <optional>

namespace {

const char *const partsOfSpeech[] = {"noun", "verb", "adj", "adv"};

// The generic sentence frames of verbs, numbered from 1 as the database
// refers to them.
const char *const verbFrames[] = {
    "Something ----s",
    "Somebody ----s",
    "It is ----ing",
    "Something is ----ing PP",
    "Something ----s something Adjective/Noun",
    "Something ----s Adjective/Noun",
    "Somebody ----s Adjective",
    "Somebody ----s something",
    "Somebody ----s somebody",
    "Something ----s somebody",
    "Something ----s something",
    "Something ----s to somebody",
    "Somebody ----s on something",
    "Somebody ----s somebody something",
    "Somebody ----s something to somebody",
    "Somebody ----s something from somebody",
    "Somebody ----s somebody with something",
    "Somebody ----s somebody of something",
    "Somebody ----s something on somebody",
    "Somebody ----s somebody PP",
    "Somebody ----s something PP",
    "Somebody ----s PP",
    "Somebody's (body part) ----s",
    "Somebody ----s somebody to INFINITIVE",
    "Somebody ----s somebody INFINITIVE",
    "Somebody ----s that CLAUSE",
    "Somebody ----s to somebody",
    "Somebody ----s to INFINITIVE",
    "Somebody ----s whether INFINITIVE",
    "Somebody ----s somebody into V-ing something",
    "Somebody ----s something with something",
    "Somebody ----s INFINITIVE",
    "Somebody ----s VERB-ing",
    "It ----s that CLAUSE",
    "Something ----s INFINITIVE",
};

QString databaseFolder()
{
    const QString folder = qEnvironmentVariable("WNSEARCHDIR");
    return folder.isEmpty() ? QStringLiteral("/usr/share/wordnet") : folder;
}

// Lemmas are stored in lower case with "_" for blanks.
QByteArray lemmaKey(const QString &word)
{
    return word.trimmed().toLower().replace(QLatin1Char(' '), QLatin1Char('_')).toUtf8();
}

QString shownWord(QByteArray word)
{
    // Adjectives may carry a syntactic marker: "big(p)".
    if (const qsizetype marker = word.indexOf('('); marker > 0)
        word.truncate(marker);
    return QString::fromUtf8(word).replace(QLatin1Char('_'), QLatin1Char(' '));
}

// The index files are sorted by lemma: a binary search over byte offsets,
// each probe reading the line at or after its offset.
std::optional<QByteArray> indexLine(const QString &pos, const QByteArray &key)
{
    QFile file(databaseFolder() + QStringLiteral("/index.") + pos);
    if (key.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    qint64 lo = 0, hi = file.size();
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (mid > 0) {
            file.seek(mid - 1);
            file.readLine();
        } else {
            file.seek(0);
        }
        if (file.pos() >= hi) {
            hi = mid;
            continue;
        }
        const QByteArray line = file.readLine();
        if (line.isEmpty())
            break;
        const QByteArray lemma = line.left(line.indexOf(' '));
        const int order = lemma.compare(key);
        if (order == 0)
            return line;
        if (order < 0)
            lo = file.pos();
        else
            hi = mid;
    }
    return std::nullopt;
}

struct Pointer
{
    QByteArray symbol;
    qint64 offset = 0;
    QByteArray pos;
};

struct Synset
{
    QList<QByteArray> words;
    QList<Pointer> pointers;
    // Frame numbers, each with the word it is for (0 for every word).
    QList<std::pair<int, int>> frames;
    QString gloss;
};

QString dataPos(const QByteArray &pointerPos)
{
    if (pointerPos == "n")
        return QStringLiteral("noun");
    if (pointerPos == "v")
        return QStringLiteral("verb");
    if (pointerPos == "a" || pointerPos == "s")
        return QStringLiteral("adj");
    if (pointerPos == "r")
        return QStringLiteral("adv");
    return {};
}

std::optional<Synset> synsetAt(const QString &pos, qint64 offset)
{
    QFile file(databaseFolder() + QStringLiteral("/data.") + pos);
    if (pos.isEmpty() || !file.open(QIODevice::ReadOnly) || offset < 0 || offset >= file.size() ||
        !file.seek(offset))
        return std::nullopt;
    const QByteArray line = file.readLine().trimmed();
    const qsizetype bar = line.indexOf(" | ");
    const QList<QByteArray> fields = line.left(bar < 0 ? line.size() : bar).split(' ');
    if (fields.size() < 4 || fields.at(0).toLongLong() != offset)
        return std::nullopt;
    Synset synset;
    if (bar >= 0)
        synset.gloss = QString::fromUtf8(line.mid(bar + 3)).trimmed();
    bool ok = false;
    const int words = fields.at(3).toInt(&ok, 16);
    qsizetype i = 4;
    for (int w = 0; ok && w < words && i + 1 < fields.size(); ++w, i += 2)
        synset.words.append(fields.at(i));
    if (!ok || i >= fields.size())
        return synset;
    const int pointers = fields.at(i++).toInt(&ok);
    for (int p = 0; ok && p < pointers && i + 3 < fields.size(); ++p, i += 4)
        synset.pointers.append({fields.at(i), fields.at(i + 1).toLongLong(), fields.at(i + 2)});
    if (pos == QLatin1String("verb") && i < fields.size()) {
        const int frames = fields.at(i++).toInt(&ok);
        for (int f = 0; ok && f < frames && i + 2 < fields.size(); ++f, i += 3)
            synset.frames.append({fields.at(i + 1).toInt(), fields.at(i + 2).toInt(nullptr, 16)});
    }
    return synset;
}

// The synset offsets of a word's senses in one part of speech, in sense order.
QList<qint64> senses(const QString &pos, const QByteArray &key)
{
    QList<qint64> offsets;
    const std::optional<QByteArray> line = indexLine(pos, key);
    if (!line)
        return offsets;
    const QList<QByteArray> fields = line->trimmed().split(' ');
    // lemma pos synset_cnt p_cnt [ptr_symbol...] sense_cnt tagsense_cnt offsets...
    if (fields.size() < 4)
        return offsets;
    const int synsets = fields.at(2).toInt();
    const int pointerKinds = fields.at(3).toInt();
    for (qsizetype i = 4 + pointerKinds + 2; i < fields.size() && offsets.size() < synsets; ++i)
        offsets.append(fields.at(i).toLongLong());
    return offsets;
}

} // namespace

QStringList TWWordNetSuggestions::getSuggestedWordsForWords(const QStringList &words,
                                                            const QStringList &excludingWords)
{
    QSet<QString> excluded;
    for (const QString &w : excludingWords + words)
        excluded.insert(w.toLower());
    QStringList synonyms, related;
    const auto add = [&](QStringList &list, const QByteArray &word) {
        const QString shown = shownWord(word);
        if (!excluded.contains(shown.toLower())) {
            excluded.insert(shown.toLower());
            list.append(shown);
        }
    };
    // Broader, narrower, similar, see-also and opposite terms.
    static const QSet<QByteArray> relations{"@", "@i", "~", "~i", "&", "^", "!", "="};
    for (const QString &word : words) {
        for (const char *pos : partsOfSpeech) {
            const QString part = QString::fromLatin1(pos);
            for (const qint64 offset : senses(part, lemmaKey(word))) {
                const std::optional<Synset> synset = synsetAt(part, offset);
                if (!synset)
                    continue;
                for (const QByteArray &w : synset->words)
                    add(synonyms, w);
                for (const Pointer &p : synset->pointers) {
                    if (!relations.contains(p.symbol))
                        continue;
                    if (const auto other = synsetAt(dataPos(p.pos), p.offset))
                        for (const QByteArray &w : other->words)
                            add(related, w);
                }
            }
        }
    }
    return (synonyms + related).mid(0, maxSuggestions);
}

QVariantList TWWordNetSuggestions::getDefinitionsForWord(const QString &word)
{
    QVariantList definitions;
    const QByteArray key = lemmaKey(word);
    for (const char *pos : partsOfSpeech) {
        const QString part = QString::fromLatin1(pos);
        for (const qint64 offset : senses(part, key)) {
            const std::optional<Synset> synset = synsetAt(part, offset);
            if (!synset)
                continue;
            // The form of the word this sense lists, and its position.
            int number = 0;
            QByteArray avatar = key;
            for (int i = 0; i < synset->words.size(); ++i) {
                if (lemmaKey(shownWord(synset->words.at(i))) == key) {
                    number = i + 1;
                    avatar = synset->words.at(i);
                    break;
                }
            }
            QStringList frames;
            for (const auto &[frame, forWord] : synset->frames) {
                if ((forWord == 0 || forWord == number) && frame >= 1 &&
                    frame <= int(std::size(verbFrames)))
                    frames.append(QString::fromLatin1(verbFrames[frame - 1]));
            }
            // The gloss without its quoted examples.
            QString definition = synset->gloss;
            if (const qsizetype examples = definition.indexOf(QStringLiteral("; \""));
                examples >= 0)
                definition.truncate(examples);
            definitions.append(QVariantMap{{QStringLiteral("definition"), definition},
                                           {QStringLiteral("avatar"), shownWord(avatar)},
                                           {QStringLiteral("verbFrames"), frames}});
        }
    }
    return definitions;
}
