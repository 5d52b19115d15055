#pragma once

#include "application/ApplicationServices.h"
#include "application/EditionTraits.h"
#include "application/LinkBack.h"
#include "platform/Document.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <memory>
#include <optional>

class KeptDocuments;
class TWDocumentController;
class TWFindController;

// What a session that is ending (a logout) asks of the program and what the
// program may answer: the session manager's request, or a stand-in.
class SessionEndRequest
{
public:
    virtual ~SessionEndRequest() = default;
    // Whether the user may be asked (the session may make the program wait
    // for its turn first).
    virtual bool allowsInteraction() = 0;
    // Asks the session not to end.
    virtual void cancel() = 0;
    // Done asking.
    virtual void release() = 0;
};
class TWHelpViewer;
class QAction;

// The application object: starts the program, dispatches files by their
// extension, autosaves, follows which document the user works on and carries
// the commands that bring up the application-wide windows. The edition
// subclasses differ only by their traits.
class TWApplication : public QApplication, public LinkBackDelegate
{
    Q_OBJECT
    Q_PROPERTY(Document *currentlyActiveDocument READ currentlyActiveDocument WRITE
                   setCurrentlyActiveDocument NOTIFY currentlyActiveDocumentChanged)

public:
    static inline const QString LinkBackServerName = QStringLiteral("ThinkwebLinkBackServer");
    static inline const QString FeedURLKey = QStringLiteral("SUFeedURLKey");
    static inline const QString CompanyName = QStringLiteral("Thinkweb");
    static inline const QString FeedbackAddress = QStringLiteral("feedback@thinkweb.example.org");
    static inline const QString DefectReportAddress =
        QStringLiteral("defects@thinkweb.example.org");
    static inline const QString ApplicationEnhancerPath =
        QStringLiteral("/Library/Frameworks/ApplicationEnhancer.framework");
    // Delays of the start-up windows and of restoring the template setting.
    static constexpr int AncillaryWindowsDelay = 100;
    static constexpr int RevertTemplateSettingDelay = 1000;
    // How often files handed over look again for the way to be clear.
    static constexpr int HandOverRetryDelay = 200;

    // The menu commands that bring up application-wide windows.
    enum class Command {
        About,
        MediaBrowser,
        PhotoLibrary,
        GraphicsLibrary,
        AdornmentsLibrary,
        Preferences,
        OutlinePanel,
        BranchNotesPanel,
        OutlineComboPanel,
        ToolPalette,
        TutorWindow,
        UpdatePanel,
        VisitThinkweb,
        SendFeedback,
        SubmitDefectReport,
        Help,
    };

    // Runs the start-up up to the point where the main interface is loaded.
    TWApplication(int &argc, char **argv, ApplicationServices services,
                  const EditionTraits &traits = EditionTraits::generic());
    ~TWApplication() override;

    // The application object of the edition: TWCApplication or TWDApplication.
    static std::unique_ptr<TWApplication> create(Edition edition, int &argc, char **argv,
                                                 ApplicationServices services);
    // The running application object, or nullptr.
    static TWApplication *shared();
    static QString applicationIdentifier()
    {
        return EditionTraits::generic().applicationIdentifier;
    }

    const EditionTraits &traits() const { return m_traits; }
    QString thinkwebEditionString() const { return m_traits.editionString; }
    const ApplicationServices &services() const { return m_services; }
    // A document controller that goes is no longer asked for documents.
    void forgetDocumentController(const DocumentController *controller);

    // The rest of the start-up: the main interface, then the end of launching,
    // then the files given on the command line.
    void finishLaunching(const QStringList &files = {});
    virtual void awakeFromNib();
    void applicationDidFinishLaunching();

    // Opens a document or imports a file by its extension; false for a file
    // this program does not take or a document that could not be opened.
    bool openFile(const QString &path);
    // Files another launch handed over: each opened (an open one comes to
    // the front); none asks for a new document, as a launch without files.
    void openHandedOverFiles(const QStringList &paths);

    // The Quit command: closes every document window, each asking about
    // unsaved changes, then ends the program; false (and the program goes
    // on) when the user keeps a document open or its save fails.
    bool terminate();
    // The session is ending: asks about unsaved documents as Quit does, and
    // cancels the ending when the user keeps one open; where nobody can be
    // asked, keeps each as the periodic save would keep it. Nothing closes:
    // the session ends the program when it ends.
    void commitSessionData(SessionEndRequest &request);
    // The end a signal asks for (SIGTERM, SIGHUP, SIGINT), which nobody can
    // answer: a question showing ends unanswered and none is asked any more,
    // each unsaved document is kept as the periodic save would keep it
    // (or, with nowhere of its own to go, among the kept documents), then
    // every document closes and the program ends, as after Quit.
    void endWithoutQuestions();
    // A signal or the session ended the program, or is ending it.
    bool isEnding() const { return m_ending; }

    // Where unsaved work is kept when the program ends unasked; null when
    // it is kept nowhere.
    KeptDocuments *keptDocuments() const { return m_keptDocuments.get(); }
    // The documents kept when the program last ended unasked open again,
    // unsaved, and one notice says what they are.
    void reopenKeptDocuments(TWDocumentController &controller);

    Document *currentlyActiveDocument() const { return m_currentlyActiveDocument; }
    // The open documents, front to back by their windows.
    QList<Document *> orderedDocuments() const;
    void setCurrentlyActiveDocument(Document *document);
    void updateCurrentlyActiveDocument();

    void updateAutoSave();
    void autoSaveDocuments();
    // The running autosave timer, or nullptr while autosave is off.
    QTimer *saveTimer() const { return m_saveTimer.get(); }

    void newDocumentFromTemplate();
    void revertTemplateSetting(const QVariant &value);

    QVariant accessibilityAttributeValue(const QString &attribute) const;

    // Shows the help pages in the program's own viewer, or says why it cannot.
    void showHelp();
    // The help contents page: in the services' resource folder when one is
    // set, else installed beside the program or in the build tree it runs from.
    QUrl helpURL() const;
    TWHelpViewer *helpViewer() const { return m_helpViewer.get(); }

    // Start-up windows, 0.1 s after launching.
    void displayAncillaryWindows();

    QAction *action(Command command) const { return m_actions.value(command); }
    void run(Command command);

    // The mail addresses the feedback and defect commands open.
    QUrl feedbackURL() const;
    QUrl defectReportURL() const;
    // The update feed's address for this edition and version.
    QString feedURL() const;

    void linkBackClientDidRequestEdit(LinkBack *link) override;
    void linkBackServerDidSendEdit(LinkBack *link) override;
    void linkBackDidClose(LinkBack *link) override;

signals:
    void currentlyActiveDocumentChanged(Document *document);

protected:
    bool event(QEvent *event) override;

private:
    void init();
    void handleSessionEnd();
    // endWithoutQuestions once no save runs.
    void endOnceNoSaveRuns();
    void applicationWindowsAwakeFromNib();
    void createActions();
    void documentWillClose(const Notification &notification);
    QList<Document *> documents() const;
    QUrl mailURL(const QString &address, const QString &format) const;
    bool openUrl(const QUrl &url) const;
    // Opens a web or mail address, or says in an alert that nothing here can.
    void openUrlOrSay(const QUrl &url) const;
    void showOutline(void (OutlineWindow::*show)());

    EditionTraits m_traits;
    ApplicationServices m_services;
    std::unique_ptr<WindowSystem> m_ownWindowSystem;
    WindowSystem *m_windowSystem = nullptr;
    std::unique_ptr<QTimer> m_saveTimer;
    QPointer<Document> m_currentlyActiveDocument;
    QMetaObject::Connection m_activeDocumentGone;
    ObserverToken m_willCloseObserver;
    // The user's template setting while a new document overrides it.
    std::optional<QVariant> m_templateSetting;
    QTimer m_templateRevertTimer;
    QHash<Command, QAction *> m_actions;
    std::unique_ptr<TWHelpViewer> m_helpViewer;
    // Find and spelling with their panels, made under this object and gone
    // before it: a panel must not outlive the fonts and windows it was made with.
    std::unique_ptr<TWFindController> m_findController;
    bool m_publishedLinkBackServer = false;
    // The user answered for every document as the session began to end.
    bool m_sessionAnswered = false;
    bool m_ending = false;
    std::unique_ptr<KeptDocuments> m_keptDocuments;
};
