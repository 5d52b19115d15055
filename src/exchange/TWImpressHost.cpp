#include "exchange/TWImpressHost.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>
#include <utility>

#include <csignal>
#include <sys/types.h>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

TWImpressHost::TWImpressHost() = default;

TWImpressHost::~TWImpressHost()
{
    quit();
}

bool TWImpressHost::launch(QString *error)
{
    if (isRunning())
        return true;
    stop();
    m_folder = std::make_unique<QTemporaryDir>();
    if (!m_folder->isValid()) {
        setError(
            error,
            QStringLiteral("no temporary folder could be made: %1").arg(m_folder->errorString()));
        return false;
    }
    const QString script = m_folder->filePath(QStringLiteral("thinkweb-impress.py"));
    QFile source(QStringLiteral(":/exchange/thinkweb-impress.py"));
    QFile out(script);
    if (!source.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) ||
        out.write(source.readAll()) < 0 || !out.flush()) {
        setError(error, QStringLiteral("the Impress bridge program could not be written"));
        return false;
    }
    out.close();
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Impress must never open a window or ask anything.
    environment.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), QStringLiteral("svp"));
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(m_python, {script, m_folder->filePath(QStringLiteral("profile"))});
    if (!m_process->waitForStarted(10'000)) {
        setError(
            error,
            QStringLiteral("%1 could not be started: %2").arg(m_python, m_process->errorString()));
        stop();
        return false;
    }
    const std::optional<QJsonObject> answer = readAnswer(m_launchTimeout, error);
    if (!answer)
        return false;
    if (!answer->value(QStringLiteral("ok")).toBool()) {
        setError(error, answer->value(QStringLiteral("error")).toString());
        stop();
        return false;
    }
    m_officeGroup = answer->value(QStringLiteral("office")).toInteger();
    return true;
}

bool TWImpressHost::run(const TWPowerPointOperation &operation, QString *error)
{
    return request(operation.toJson(), m_operationTimeout, error);
}

bool TWImpressHost::save(const QString &path, QString *error)
{
    // Writing a large presentation takes longer than one operation.
    return request({{"op", "save"}, {"path", path}}, std::max(120, m_operationTimeout), error);
}

void TWImpressHost::quit()
{
    if (isRunning()) {
        m_process->write("{\"op\":\"quit\"}\n");
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(std::min(15, m_operationTimeout) * 1000)) {
            m_process->kill();
            m_process->waitForFinished(5'000);
        }
    }
    stop();
}

void TWImpressHost::quitInBackground()
{
    if (!isRunning()) {
        stop();
        return;
    }
    m_process->write("{\"op\":\"quit\"}\n");
    m_process->closeWriteChannel();
    // The process and its profile folder live on until the office has ended,
    // or is ended when it takes too long.
    QProcess *process = m_process.release();
    QTemporaryDir *folder = m_folder.release();
    const qint64 group = std::exchange(m_officeGroup, 0);
    m_buffer.clear();
    auto *deadline = new QTimer(process);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, process, [process, group] {
        process->kill();
        if (group > 1)
            ::kill(pid_t(-group), SIGKILL);
    });
    QObject::connect(process, &QProcess::finished, process, [process, folder] {
        delete folder;
        process->deleteLater();
    });
    deadline->start(std::min(15, m_operationTimeout) * 1000);
}

void TWImpressHost::stop()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5'000);
        // A bridge that was killed cannot end the office it started.
        if (m_officeGroup > 1)
            ::kill(pid_t(-m_officeGroup), SIGKILL);
    }
    m_officeGroup = 0;
    m_process.reset();
    m_folder.reset();
    m_buffer.clear();
}

bool TWImpressHost::request(const QJsonObject &message, int seconds, QString *error)
{
    if (!isRunning()) {
        setError(error, QStringLiteral("LibreOffice Impress is not running"));
        return false;
    }
    m_process->write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    const std::optional<QJsonObject> answer = readAnswer(seconds, error);
    if (!answer)
        return false;
    if (answer->value(QStringLiteral("ok")).toBool())
        return true;
    setError(error, answer->value(QStringLiteral("error")).toString());
    return false;
}

std::optional<QJsonObject> TWImpressHost::readAnswer(int seconds, QString *error)
{
    const QDeadlineTimer deadline{qint64(seconds) * 1000};
    for (;;) {
        m_buffer += m_process->readAllStandardOutput();
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            const QJsonDocument document = QJsonDocument::fromJson(line);
            if (document.isObject())
                return document.object();
            // Not an answer (a stray line of the office): read on.
            continue;
        }
        if (m_process->state() == QProcess::NotRunning) {
            const QString detail = QString::fromLocal8Bit(m_process->readAllStandardError())
                                       .trimmed()
                                       .section(QLatin1Char('\n'), -3);
            setError(error, QStringLiteral("LibreOffice Impress ended unexpectedly%1")
                                .arg(detail.isEmpty() ? QString() : QStringLiteral(": ") + detail));
            stop();
            return std::nullopt;
        }
        if (deadline.hasExpired()) {
            setError(error, QStringLiteral("LibreOffice Impress did not answer within %1 seconds")
                                .arg(seconds));
            stop();
            return std::nullopt;
        }
        if (m_whileWaiting && !m_whileWaiting()) {
            setError(error, QStringLiteral("cancelled"));
            stop();
            return std::nullopt;
        }
        // Short slices, so that the program repaints and Cancel is heard.
        m_process->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 100)));
    }
}
