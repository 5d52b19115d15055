#pragma once

#include "exchange/TWPowerPointHost.h"

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// Drives LibreOffice Impress through its Python bridge: a small program
// shipped with the application (run by the system's Python, which has the
// bridge) starts Impress headless with a profile of its own, runs one
// operation a line and answers each. Every wait is bounded: a program that
// hangs is ended and reported, never waited for without end.
class TWImpressHost : public TWPowerPointHost
{
public:
    TWImpressHost();
    ~TWImpressHost() override;

    // The Python that runs the bridge program; by default the system's.
    void setPython(const QString &python) { m_python = python; }
    // Seconds to wait for Impress to start, and for each answer.
    void setTimeouts(int launchSeconds, int operationSeconds)
    {
        m_launchTimeout = launchSeconds;
        m_operationTimeout = operationSeconds;
    }

    bool launch(QString *error) override;
    bool run(const TWPowerPointOperation &operation, QString *error) override;
    bool save(const QString &path, QString *error) override;
    void quit() override;
    void quitInBackground() override;
    bool isAlive() const override { return isRunning(); }

    bool isRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }

private:
    bool request(const QJsonObject &message, int seconds, QString *error);
    std::optional<QJsonObject> readAnswer(int seconds, QString *error);
    void stop();

    QString m_python = QStringLiteral("/usr/bin/python3");
    int m_launchTimeout = 90;
    int m_operationTimeout = 30;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    qint64 m_officeGroup = 0; // the office's process group, ended with the bridge
};
