#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the model and the windows ask of the user: the alert beep, alert panels
// and the open and save panels. Code calls Alerts::current(); the program
// installs a dialog-based implementation, tests install RecordingAlerts.
class Alerts
{
public:
    virtual ~Alerts();

    virtual void beep() = 0;

    // What runAlertPanel answers for a question ended with nobody to answer
    // it: no button was chosen, and every caller takes it as Cancel.
    static constexpr int Unanswered = -1;

    // Shows `message` under `title` with the given buttons (the first is the
    // default) and returns the index of the button chosen, or Unanswered.
    virtual int runAlertPanel(const QString &title, const QString &message,
                              const QStringList &buttons) = 0;

    struct OpenPanelOptions
    {
        QString title;
        QString directory;
        QStringList fileTypes; // extensions without the dot; empty means any
        bool allowsMultipleSelection = false;
        bool canChooseDirectories = false;
        // Folders named with these extensions are documents, chosen as files.
        QStringList packageTypes;
    };
    // The chosen paths; empty when the user cancelled.
    virtual QStringList runOpenPanel(const OpenPanelOptions &options) = 0;

    struct SavePanelOptions
    {
        QString title;
        QString directory;
        QString fileName;      // suggested name
        QStringList fileTypes; // extensions without the dot; empty means any
    };
    // The chosen path; nullopt when the user cancelled.
    virtual std::optional<QString> runSavePanel(const SavePanelOptions &options) = 0;

    // The process-wide instance. Until one is installed, a silent one that
    // logs alerts, answers them with the default button and cancels panels:
    // nothing here may block a program that has no windows.
    static Alerts &current();
    // Installs `alerts` (not owned); nullptr restores the silent default.
    static void setCurrent(Alerts *alerts);

    // The program is ending and nobody is left to answer (a signal): every
    // question showing is ended, alerts Unanswered and panels cancelled, and
    // every later one is answered so at once, logged and unshown, until
    // questions are resumed (a new application object).
    static void endQuestions();
    static bool questionsEnded();
    static void resumeQuestions();

    // Installs an instance for the lifetime of the guard, then restores the previous one.
    class Scope
    {
    public:
        explicit Scope(Alerts *alerts);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        Alerts *m_previous;
    };

protected:
    // Ends the questions this instance is showing (endQuestions).
    virtual void endShownQuestions() {}
};

// Headless implementation: no sound, no dialogs.
class SilentAlerts : public Alerts
{
public:
    void beep() override;
    int runAlertPanel(const QString &title, const QString &message,
                      const QStringList &buttons) override;
    QStringList runOpenPanel(const OpenPanelOptions &options) override;
    std::optional<QString> runSavePanel(const SavePanelOptions &options) override;
};
